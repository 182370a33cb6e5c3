#pragma once

#include "DeviceSimulator.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace nuvora::test {

// The simulated device started on a fresh pseudo-terminal for one test; fails the test when
// the terminal cannot be made.
std::unique_ptr<devsim::DeviceSimulator> startDevice(const devsim::SimOptions &options = {});
QString devicePath(const devsim::DeviceSimulator &sim);
QByteArray toBytes(const std::vector<std::uint8_t> &bytes);
// The frames the device has received so far, in hex.
QList<QByteArray> requestsHex(const devsim::DeviceSimulator &sim);
// The requests the device has received so far: a write frame's address, -1 for a read.
QList<int> requestAddresses(const devsim::DeviceSimulator &sim);
// What an erased device holds after a run of the image: 0xFF after it.
QByteArray expectedEeprom(const QByteArray &image);

} // namespace nuvora::test
