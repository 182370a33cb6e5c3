#include "SimulatedDevice.h"

#include <QTest>

namespace nuvora::test {

std::unique_ptr<devsim::DeviceSimulator> startDevice(const devsim::SimOptions &options)
{
    auto sim = std::make_unique<devsim::DeviceSimulator>(options);
    std::string error;
    if (!sim->start(&error))
        qFatal("cannot start the simulated device: %s", error.c_str());
    return sim;
}

QString devicePath(const devsim::DeviceSimulator &sim)
{
    return QString::fromStdString(sim.slavePath());
}

QByteArray toBytes(const std::vector<std::uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

QList<int> requestAddresses(const devsim::DeviceSimulator &sim)
{
    QList<int> out;
    for (const auto &f : sim.requestLog())
        out << ((f[0] & 0x80) ? f[2] | (f[3] << 8) : -1);
    return out;
}

QList<QByteArray> requestsHex(const devsim::DeviceSimulator &sim)
{
    QList<QByteArray> out;
    for (const auto &r : sim.requestLog())
        out << toBytes(r).toHex();
    return out;
}

QByteArray expectedEeprom(const QByteArray &image)
{
    return image + QByteArray(devsim::kEepromSize - image.size(), char(0xFF));
}

} // namespace nuvora::test
