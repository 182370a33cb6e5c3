// nuvora-cli ports: the serial ports this machine has, under the window's port numbers.
#include "CommandLine.h"
#include "Commands.h"

#include "serial/GetUSBT.h"
#include "serial/PortNames.h"
#include "serial/UsbSerialLookup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstdio>

namespace nuvora::cli {

namespace {

constexpr quint16 kFtdiVendorId = 0x0403;

const char kPortsHelp[] =
    "usage: nuvora-cli ports [--folder DIR] [--sysfs ROOT]\n"
    "\n"
    "Lists every serial port of this machine with the port number the window uses for it\n"
    "(Com menu and settings file COM=), its USB vendor and product ids, FTDI adapters marked,\n"
    "and the port that the Com menu's USB item would choose now.\n"
    "\n"
    "  --folder DIR   program folder whose ports/COMn aliases count (default: this program's)\n"
    "  --sysfs ROOT   where the kernel's sysfs tree is (default: /sys)\n"
    "  --help         show this text\n"
    "\n"
    "exit status: 0 listed (also when there are no ports), 2 usage error.\n";

QString usbIds(const QSerialPortInfo &info)
{
    if (!info.hasVendorIdentifier())
        return QStringLiteral("-");
    const QString product =
        info.hasProductIdentifier()
            ? QStringLiteral("%1").arg(info.productIdentifier(), 4, 16, QLatin1Char('0'))
            : QStringLiteral("????");
    return QStringLiteral("%1:%2")
        .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
        .arg(product);
}

QString details(const QSerialPortInfo &info)
{
    QStringList parts;
    if (!info.description().isEmpty())
        parts << info.description();
    if (!info.manufacturer().isEmpty())
        parts << info.manufacturer();
    if (!info.serialNumber().isEmpty())
        parts << QStringLiteral("serial ") + info.serialNumber();
    return parts.join(QStringLiteral(", "));
}

// The ports/COMn aliases of the program folder (links a user, an installer or the simulator
// made); they take precedence over the fixed device names.
void printAliases(const QString &folder)
{
    const QDir ports(folder + QStringLiteral("/ports"));
    const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"));
    QList<QPair<int, QFileInfo>> aliases;
    for (const QFileInfo &entry :
         ports.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = comName.match(entry.fileName());
        if (m.hasMatch())
            aliases.append({m.captured(1).toInt(), entry});
    }
    if (aliases.isEmpty())
        return;
    std::sort(aliases.begin(), aliases.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    std::printf("\nAliases in %s:\n", qPrintable(QDir::toNativeSeparators(ports.path())));
    for (const auto &[number, entry] : aliases) {
        const QString target = entry.isSymLink() ? entry.symLinkTarget() : entry.filePath();
        std::printf("  COM%-5d -> %s%s\n", number, qPrintable(QDir::toNativeSeparators(target)),
                    entry.exists() ? "" : "  (missing: the port will not open)");
    }
}

} // namespace

int runPorts(const QStringList &args)
{
    QString folder = QCoreApplication::applicationDirPath();
    QString sysfs = QString::fromLatin1(kDefaultSysfsRoot);
    if (const auto done = parseArguments("ports", args, kPortsHelp,
                                         {{"--folder", "a folder", &folder},
                                          {"--sysfs", "a folder", &sysfs}},
                                         nullptr))
        return *done;

    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo &a, const QSerialPortInfo &b) {
        return a.systemLocation() < b.systemLocation();
    });
    if (ports.isEmpty()) {
        std::printf("No serial ports found on this machine.\n");
    } else {
        std::printf("%-24s %-8s %-10s %-5s %s\n", "DEVICE", "PORT", "USB ID", "FTDI", "DETAILS");
        for (const QSerialPortInfo &info : ports) {
            const int number = PortNumberForDevice(info.systemLocation(), folder);
            const QString port =
                number > 0 ? QStringLiteral("COM%1").arg(number) : QStringLiteral("-");
            const bool ftdi =
                info.hasVendorIdentifier() && info.vendorIdentifier() == kFtdiVendorId;
            std::printf("%-24s %-8s %-10s %-5s %s\n", qPrintable(info.systemLocation()),
                        qPrintable(port), qPrintable(usbIds(info)), ftdi ? "yes" : "-",
                        qPrintable(details(info)));
        }
    }

    printAliases(folder);

    const std::string usb = ftdiSysfsPortName(sysfs.toStdString());
    if (usb.empty()) {
        std::printf("\nUSB item: no FTDI adapter found (the window would say "
                    "\"USB port not available\").\n");
    } else {
        const QString name = QString::fromStdString(usb);
        const int number = PortNumberFromName(usb);
        const QString device = PortDevice(number, folder);
        std::printf("\nUSB item: %s (%s)\n", qPrintable(name),
                    qPrintable(QDir::toNativeSeparators(device)));
        // An alias of the same number wins over the adapter's own device.
        const QString adapter = QStringLiteral("/dev/ttyUSB%1").arg(number - kUsbPortOffset);
        if (QFileInfo(device).canonicalFilePath() != QFileInfo(adapter).canonicalFilePath() &&
            device != adapter)
            std::printf("warning: %s leads to %s, not to the adapter's %s\n",
                        qPrintable(QDir::toNativeSeparators(device)),
                        qPrintable(QFileInfo(device).symLinkTarget()), qPrintable(adapter));
    }
    return 0;
}

} // namespace nuvora::cli
