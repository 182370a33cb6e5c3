#pragma once

#include "DeviceSimulator.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

namespace nuvora::test {

// The simulated device on a fresh pseudo-terminal for one test; fails the test when the
// terminal cannot be made.
inline std::unique_ptr<devsim::DeviceSimulator> startDevice(const devsim::SimOptions &options = {})
{
    auto sim = std::make_unique<devsim::DeviceSimulator>(options);
    std::string error;
    if (!sim->start(&error))
        qFatal("cannot start the simulated device: %s", error.c_str());
    return sim;
}
inline QString devicePath(const devsim::DeviceSimulator &sim)
{
    return QString::fromStdString(sim.slavePath());
}
inline QByteArray toBytes(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}
// The frames the device has received so far, in hex.
inline QList<QByteArray> requestsHex(const devsim::DeviceSimulator &sim)
{
    QList<QByteArray> out;
    for (const auto &r : sim.requestLog())
        out << toBytes(r).toHex();
    return out;
}
// The requests so far: a write frame's address, -1 for a read.
inline QList<int> requestAddresses(const devsim::DeviceSimulator &sim)
{
    QList<int> out;
    for (const auto &f : sim.requestLog())
        out << ((f[0] & 0x80) ? f[2] | (f[3] << 8) : -1);
    return out;
}
// What an erased device holds after a run of the image: 0xFF after it.
inline QByteArray expectedEeprom(const QByteArray &image)
{
    return image + QByteArray(devsim::kEepromSize - image.size(), char(0xFF));
}

} // namespace nuvora::test
