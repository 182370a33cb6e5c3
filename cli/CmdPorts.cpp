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

constexpr int kExitAlias = 4;

const char kPortsHelp[] =
    "usage: nuvora-cli ports [--folder DIR] [--sysfs ROOT]\n"
    "       nuvora-cli ports --alias N DEVICE [--by-id DIR]\n"
    "       nuvora-cli ports --unalias N\n"
    "\n"
    "Lists every serial port of this machine with the port number the window uses for it\n"
    "(Com menu and settings file COM=), its USB vendor and product ids, FTDI adapters marked,\n"
    "the ports/COMn aliases and the port that the Com menu's USB item would choose now.\n"
    "\n"
    "--alias gives DEVICE the port number N for this user: the link COMN in the user's own\n"
    "alias folder (~/.config/Nuvora/ports), to the device's stable name under /dev/serial/by-id\n"
    "when it has one. The window and the program command then reach DEVICE as port N; an alias\n"
    "of the same number in the program folder still wins.\n"
    "\n"
    "  --folder DIR   program folder whose ports/COMn aliases count (default: this program's)\n"
    "  --sysfs ROOT   where the kernel's sysfs tree is (default: /sys)\n"
    "  --alias N      make the user's alias COMN (N: 1 to 32767 or COMN) for DEVICE, replacing\n"
    "                 one of that number\n"
    "  --unalias N    remove the user's alias COMN\n"
    "  --by-id DIR    where the stable device names are (default: /dev/serial/by-id)\n"
    "  -V, --version  print the version\n"
    "  -h, --help     show this text\n"
    "\n"
    "exit status: 0 listed (also when there are no ports), alias made or removed, 2 usage\n"
    "error, 4 the alias cannot be made or removed (the reason follows).\n";

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

// The ports/COMn aliases in one folder (links a user, an installer or the simulator made);
// they take precedence over the fixed device names.
void printAliases(const QString &portsFolder, const QString &programFolder)
{
    if (portsFolder.isEmpty())
        return;
    const QDir ports(portsFolder);
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
        const bool hidden = QFileInfo(PortDevice(number, programFolder)).absoluteFilePath() !=
                            entry.absoluteFilePath();
        std::printf("  COM%-5d -> %s%s\n", number, qPrintable(QDir::toNativeSeparators(target)),
                    hidden           ? "  (hidden by the program folder's alias)"
                    : entry.exists() ? ""
                                     : "  (missing: the port will not open)");
    }
}

// The machine's serial ports, each under the number the window gives it.
void printPorts(const QString &folder)
{
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
}

int aliasError(const QString &why, int status)
{
    printError(why);
    if (status == kExitUsage)
        std::fputs("try 'nuvora-cli ports --help'\n", stderr);
    return status;
}

// --alias N DEVICE and --unalias N: port numbers of the user's own.
int changeAlias(const QString &alias, const QString &unalias, const QString &device,
                const QString &byId, const QString &programFolder)
{
    if (alias.isEmpty() && unalias.isEmpty())
        return aliasError(QStringLiteral("unknown argument '%1'").arg(device), kExitUsage);
    if (!alias.isEmpty() && !unalias.isEmpty())
        return aliasError(QStringLiteral("--alias and --unalias do not go together"), kExitUsage);
    const PortArgument port = ParsePortArgument(alias.isEmpty() ? unalias : alias);
    if (!port.valid || port.number == 0)
        return aliasError(QStringLiteral("'%1' is not a port number (1 to 32767, or COMn)")
                              .arg(alias.isEmpty() ? unalias : alias),
                          kExitUsage);
    QString error;
    if (!unalias.isEmpty()) {
        if (!device.isEmpty())
            return aliasError(QStringLiteral("--unalias takes no DEVICE"), kExitUsage);
        if (!RemoveUserAlias(port.number, error))
            return aliasError(error, kExitAlias);
        std::printf("COM%d: alias removed\n", port.number);
        return 0;
    }
    if (device.isEmpty())
        return aliasError(QStringLiteral("--alias N needs a DEVICE"), kExitUsage);
    if (!QFileInfo::exists(device))
        return aliasError(QStringLiteral("no device %1").arg(device), kExitAlias);
    const QString target = StableDeviceName(device, byId);
    const QString made = QDir(UserPortsFolder()).filePath(QStringLiteral("COM%1").arg(port.number));
    const QString before = QFileInfo(made).symLinkTarget();
    if (!MakeUserAlias(port.number, target, error))
        return aliasError(error, kExitAlias);
    std::printf("COM%d -> %s (%s)%s\n", port.number, qPrintable(target), qPrintable(made),
                before.isEmpty() ? "" : qPrintable(QStringLiteral(", was -> ") + before));
    const QString winner = PortDevice(port.number, programFolder);
    if (QFileInfo(winner).absoluteFilePath() != QFileInfo(made).absoluteFilePath())
        std::printf("warning: %s wins over it\n", qPrintable(winner));
    return 0;
}

} // namespace

int runPorts(const QStringList &args)
{
    QString folder = QCoreApplication::applicationDirPath();
    QString sysfs = QString::fromLatin1(kDefaultSysfsRoot);
    CommandParser parser("ports", kPortsHelp);
    QCommandLineParser &qt = parser.qt();
    qt.addOption({"folder", {}, "DIR", folder});
    qt.addOption({"sysfs", {}, "ROOT", sysfs});
    qt.addOption({"alias", {}, "N"});
    qt.addOption({"unalias", {}, "N"});
    qt.addOption({"by-id", {}, "DIR", QStringLiteral("/dev/serial/by-id")});
    if (const auto done = parser.parse(args))
        return *done;
    const QStringList rest = qt.positionalArguments();
    if (rest.size() > 1)
        return parser.usageError(QStringLiteral("unexpected argument '%1'").arg(rest.at(1)));
    folder = qt.value("folder");
    sysfs = qt.value("sysfs");
    if (qt.isSet("alias") || qt.isSet("unalias") || !rest.isEmpty())
        return changeAlias(qt.value("alias"), qt.value("unalias"), rest.value(0), qt.value("by-id"),
                           folder);

    printPorts(folder);
    printAliases(QDir(folder).filePath(QStringLiteral("ports")), folder);
    printAliases(UserPortsFolder(), folder);

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
