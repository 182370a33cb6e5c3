// Port numbers and their devices, aliases, port arguments, and the FTDI adapter as the kernel's
// sysfs tree and the Windows registry (held in memory) show it.
#include "serial/GetUSBT.h"
#include "serial/PortNames.h"
#include "serial/UsbSerialLookup.h"

#include "Fixtures.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>

using namespace nuvora;

namespace {

// A registry in memory, like the Windows one where the adapter lookup can tell: values are raw
// bytes (a string without terminator, or longer than any buffer, can be stored), subkeys list in
// the order they were first stored, empty path parts are passed over. It records its use.
struct RegistryMemory : RegistryApi {
    std::vector<std::array<std::string, 3>> stored; // key "<root>\\A\\B", value name, bytes
    QStringList opened;                             // "<root in hex> path" of each open
    int notReadOnly = 0;                            // opens that ask for more than read access
    std::vector<std::uint32_t> roomGiven;           // each query's buffer size on entry
    std::map<RegHandle, std::string> handles;       // the open ones

    std::string name(RegHandle at, const std::string &path) const
    {
        const QStringList parts = QString::fromStdString(path).split('\\', Qt::SkipEmptyParts);
        return (handles.count(at) ? handles.at(at) : std::to_string(at)) +
               (parts.isEmpty() ? "" : '\\' + parts.join('\\').toStdString());
    }
    // The names right below a key, each once.
    std::vector<std::string> below(const std::string &key) const
    {
        std::vector<std::string> names;
        for (const auto &[k, value, bytes] : stored) {
            if (k.rfind(key + '\\', 0) != 0)
                continue;
            const std::string rest = k.substr(key.size() + 1),
                              child = rest.substr(0, rest.find('\\'));
            if (std::find(names.begin(), names.end(), child) == names.end())
                names.push_back(child);
        }
        return names;
    }

    RegStatus openKey(RegHandle root, const char *path, std::uint32_t options, std::uint32_t access,
                      RegHandle *result) override
    {
        opened << QString::number(root, 16) + ' ' + path;
        notReadOnly += options != 0 || access != kKeyRead;
        const std::string key = name(root, path);
        if (below(key).empty() &&
            std::none_of(stored.begin(), stored.end(), [&](const auto &v) { return v[0] == key; }))
            return kRegFileNotFound;
        handles[ *result = 1 + (handles.empty() ? 0 : handles.rbegin()->first)] = key;
        return kRegSuccess;
    }
    RegStatus queryValue(RegHandle key, const char *valueName, unsigned char *data,
                         std::uint32_t *byteCount) override
    {
        roomGiven.push_back(*byteCount);
        for (const auto &[k, value, bytes] : stored) {
            if (k != name(key, {}) || value != valueName)
                continue;
            const std::uint32_t room = std::exchange(*byteCount, std::uint32_t(bytes.size()));
            if (*byteCount > room)
                return kRegMoreData;
            std::memcpy(data, bytes.data(), *byteCount);
            return kRegSuccess;
        }
        return kRegFileNotFound;
    }
    RegStatus queryInfoKey(RegHandle key, char *, std::uint32_t *, std::uint32_t *count) override
    {
        *count = std::uint32_t(below(name(key, {})).size());
        return kRegSuccess;
    }
    RegStatus enumKey(RegHandle key, std::uint32_t index, char *name, std::uint32_t *nameLength,
                      char *, std::uint32_t *, std::uint64_t *) override
    {
        const std::vector<std::string> names = below(this->name(key, {}));
        if (index >= names.size())
            return kRegNoMoreItems;
        if (names[index].size() + 1 > *nameLength)
            return kRegMoreData;
        std::memcpy(name, names[index].c_str(), names[index].size() + 1);
        *nameLength = std::uint32_t(names[index].size());
        return kRegSuccess;
    }
    RegStatus closeKey(RegHandle key) override
    {
        return handles.erase(key) ? kRegSuccess : kRegInvalidHandle;
    }
};

const QString kService = "SYSTEM\\CurrentControlSet\\Services\\FTSER2K\\Enum\\";
const QString kInstance = "FTDIBUS\\VID_0403+PID_6001+A50285BI\\0000";
const QString kParams = "SYSTEM\\CurrentControlSet\\Enum\\" + kInstance + "\\Device Parameters";

// Builds a registry from entries split by ';': "ROOT|path[|name|value]" (ROOT HKLM or DYN; no
// name: the key only; a value "raw:..." is stored without terminator), "svc:PORT" (the
// driver-service layout of one adapter), "dev:NAME:HARDWAREKEY[:PORT]" (a device on the
// configuration-manager route, with its port when given). %S, %I, %P stand for the service
// key, the adapter's instance and its parameters key; %1, %2 for two FTDI hardware keys; %D
// for DYN and that route's device list.
void build(RegistryMemory &registry, QString layout)
{
    layout.replace("%S", kService).replace("%I", kInstance).replace("%P", kParams);
    layout.replace("%D", "DYN|Config Manager\\Enum");
    layout.replace("%1", "FTDIBUS\\VID_0403+PID_6001+X1\\0000");
    layout.replace("%2", "FTDIBUS\\VID_0403+PID_6001+X2\\0000");
    const auto put = [&](const QString &entry) {
        const QStringList f = entry.split('|');
        const bool raw = f.value(3).startsWith("raw:");
        // A string as Windows stores one: its characters and a terminating NUL.
        registry.stored.push_back(
            {registry.name(f[0] == "DYN" ? kHKeyDynData : kHKeyLocalMachine, f[1].toStdString()),
             f.value(2).toStdString(),
             f.value(3).mid(raw ? 4 : 0).toStdString() + std::string(raw ? 0 : 1, '\0')});
    };
    for (const QString &e : layout.split(';', Qt::SkipEmptyParts)) {
        const QStringList d = e.split(':');
        if (d[0] == "svc")
            put("HKLM|" + kService + "|0|" + kInstance),
                put("HKLM|" + kParams + "|PortName|" + d.mid(1).join(':'));
        else if (d[0] == "dev")
            put("DYN|Config Manager\\Enum\\" + d[1] + "|HardWareKey|" + d[2]);
        else
            put(e);
        if (d[0] == "dev" && d.size() > 3)
            put("HKLM|Enum\\" + d[2] + "|PortName|" + d[3]);
    }
}

} // namespace

class PortsTest : public QObject {
    Q_OBJECT

private slots:
    // Aliases "N=target" in the program folder %P and the user's folder %U (%T: a file that
    // exists), each a list with ' ' between. A check "N>device" asks PortDevice(N),
    // "device>N" PortNumberForDevice(device).
    void numbers()
    {
        for (const auto &[program, user, checks] :
             {std::tuple{"", "", "1>/dev/ttyS0 0> 15>/dev/ttyUSB10 /dev/ttyS0>1 /dev/ttyS4>0"},
              // A dangling alias still names its port: opening it will say what is wrong. An
              // alias COM5 sends number 5 elsewhere, so ttyUSB0 has no number any more.
              {"9=%T 2=%P/nowhere 5=/dev/null", "",
               "9>%P/ports/COM9 2>%P/ports/COM2 8>/dev/ttyUSB3 %T>9 %P/ports/COM9>9 /dev/null>5 "
               "/dev/ttyUSB0>0 /dev/ttyUSB10>15"},
              // The user's aliases count after the program folder's, which wins on a number.
              {"3=%T", "9=%T 5=%T 3=/dev/null",
               "9>%U/ports/COM9 3>%P/ports/COM3 %T>3 /dev/null>0 /dev/ttyUSB0>0"}}) {
            QTemporaryDir folder, config;
            qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
            const auto fill = [&](QString s) {
                return s.replace("%P", folder.path())
                    .replace("%U", config.filePath("Nuvora"))
                    .replace("%T", folder.filePath("tty"));
            };
            test::writeFile(fill("%T"), {});
            for (const auto &[where, aliases] :
                 {std::pair{fill("%P"), program}, {fill("%U"), user}})
                for (const QString &a : QString(aliases).split(' ', Qt::SkipEmptyParts))
                    QVERIFY(test::linkPort(where, a.section('=', 0, 0).toInt(),
                                           fill(a.section('=', 1))));
            QCOMPARE(UserPortsFolder(), fill("%U/ports"));
            for (const QString &check : QString(checks).split(' ')) {
                const QString from = fill(check.section('>', 0, 0)),
                              to = fill(check.section('>', 1));
                const QString got = from.startsWith('/')
                                        ? QString::number(PortNumberForDevice(from, folder.path()))
                                        : PortDevice(from.toInt(), folder.path());
                QVERIFY2(got == to, qPrintable(check + ": " + got));
            }
        }
        qunsetenv("XDG_CONFIG_HOME");
    }

    // Number -1: refused; 0: a device path.
    void argument()
    {
        const std::vector<std::pair<const char *, int>> rows{
            {"7", 7},     {"COM12", 12},     {"com3", 3},   {" COM2 ", 2},
            {"COM0", -1}, {"/dev/pts/4", 0}, {"40000", -1}, {"", -1}};
        for (const auto &[text, number] : rows) {
            const PortArgument a = ParsePortArgument(text);
            QVERIFY2(a.valid == (number >= 0) && a.number == qMax(number, 0) &&
                         a.device == (number ? "" : text) && a.error.isEmpty() == a.valid,
                     text);
        }
    }

    // The FTDI driver's folder in sysfs ("-": none) and another driver's, laid out as the
    // kernel does it (entries as test::layOutUsbSerial takes them): the port found.
    void sysfs()
    {
        using L = QStringList;
        const L attributes{"file:bind", "file:uevent", "link:ftdi_sio"};
        for (const auto &[ftdi, other, expected] : std::vector<std::tuple<L, L, QString>>{
                 {{"-"}, {"ttyUSB0"}, ""},                          // only another driver
                 {attributes, {}, ""},                              // driver loaded, no adapter
                 {{"ttyUSB10", "ttyUSB9", "ttyUSB7"}, {}, "COM12"}, // lowest number wins
                 // other ttys and attributes ignored
                 {attributes + L{"file:ttyUSB0", "link:ttyACM0", "ttyS0", "ttyUSB", "ttyUSBx",
                                 "ttyUSB1a", "ttyUSB01", "xttyUSB1", "ttyUSB6"},
                  {},
                  "COM11"},
                 {{"ttyUSB1"}, {"ttyUSB0"}, "COM6"},               // other driver's tty not taken
                 {{"dangling:ttyUSB0", "ttyUSB2"}, {}, "COM7"},    // unplugged while listed
                 {{"ttyUSB32762"}, {}, "COM32767"},                // largest that fits a port
                 {{"ttyUSB32763", "ttyUSB99999999999999"}, {}, ""} // beyond any port
             }) {
            QTemporaryDir root;
            if (ftdi != L{"-"})
                test::layOutUsbSerial(root.path(), "ftdi_sio", ftdi);
            test::layOutUsbSerial(root.path(), "pl2303", other);
            QCOMPARE(QString::fromStdString(ftdiSysfsPortName(root.path().toStdString())),
                     expected);
        }
    }

    // The port the lookup finds; besides it, read access on every open, every key closed again,
    // each query handed the whole buffer (a short earlier value must not shrink a later read),
    // and for one row of each route the keys opened in order, nothing after the first match.
    void registry()
    {
        const QString e = "80000006 Config Manager\\Enum", h = "80000002 ";
        const QHash<QString, QStringList> keys{
            {"service route", {e, h + kService, h + kParams}},
            {"CM: first match",
             {e, e + "\\C0", e + "\\C1", h + "Enum\\FTDIBUS\\VID_0403+PID_6001+X1\\0000"}}};
        for (const auto &[name, layout, port] : std::vector<std::tuple<QString, QString, QString>>{
                 // Driver-service route (NT family: no dynamic-data hive).
                 {"service route", "svc:COM7", "COM7"},
                 {"no value 0", "HKLM|%S|1|%I;HKLM|%P|PortName|COM7", ""},
                 {"device key missing", "HKLM|%S|0|%I", ""},
                 {"no PortName", "HKLM|%S|0|%I;HKLM|%P|Polling|raw:1", ""},
                 // A value fills at most 255 bytes, its terminator included when it has one.
                 {"254 characters", "svc:" + QString(254, 'a'), QString(254, 'a')},
                 {"255 characters: missing", "svc:" + QString(255, 'c'), ""},
                 {"255 raw characters", "HKLM|%S|0|%I;HKLM|%P|PortName|raw:" + QString(255, 'b'),
                  QString(255, 'b')},
                 {"empty DYN enum", "%D;svc:COM7", "COM7"},
                 // Configuration-manager (CM) route (Windows 9x).
                 {"CM: first match", "dev:C0:ROOT\\X\\0;dev:C1:%1:COM9;dev:C2:%2:COM10", "COM9"},
                 {"CM before service", "dev:C1:%1:COM9;svc:COM7", "COM9"},
                 {"enum order", "dev:C2:%2:COM10;dev:C1:%1:COM9", "COM10"},
                 {"255-char device", "dev:" + QString(255, 'k') + ":%1:COM9", "COM9"},
                 {"marker inside", "dev:C1:USB\\FTDIBUS_COMPOSITE\\7:COM15", "COM15"},
                 {"lower-case bus", "dev:C1:ftdibus\\v\\0:COM11;svc:COM7", "COM7"},
                 {"CM no PortName", "dev:C1:%1;svc:COM7", "COM7"},
                 {"CM no PortName, stop", "dev:C1:%1;dev:C2:%2:COM10", ""},
                 // The walk stops before the list's empty end marker, which names the list itself.
                 {"end marker never read",
                  "%D|HardWareKey|%1;dev:C0:ROOT\\X;HKLM|Enum\\%1|PortName|COM9", ""},
                 {"raw hardware key", "%D\\C1|HardWareKey|raw:%1;HKLM|Enum\\%1|PortName|COM9",
                  "COM9"},
                 {"300-byte key", "dev:C1:FTDIBUS\\" + QString(290, 'L') + ":COM9;svc:COM7",
                  "COM7"}}) {
            RegistryMemory memory;
            build(memory, layout);
            const QString got = QString::fromStdString(GetUSBCom(memory));
            QVERIFY2(got == port, qPrintable(name + ": " + got));
            QVERIFY2(
                !memory.opened.isEmpty() && memory.notReadOnly == 0 && memory.handles.empty() &&
                    (!keys.contains(name) || memory.opened == keys[name]) &&
                    memory.roomGiven == std::vector<std::uint32_t>(memory.roomGiven.size(), 255),
                qPrintable(name + ": " + memory.opened.join(';')));
        }
    }
};

QTEST_GUILESS_MAIN(PortsTest)
#include "tst_ports.moc"
