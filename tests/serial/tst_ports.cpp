// Port numbers and their devices, aliases, port arguments, and the FTDI adapter as the kernel's
// sysfs tree and the Windows registry (held in memory) show it.
#include "serial/GetUSBT.h"
#include "serial/PortNames.h"
#include "serial/UsbSerialLookup.h"

#include "Fixtures.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <map>

using namespace nuvora;

namespace {

// A registry held in memory, behaving like the Windows one where the adapter lookup can tell:
// values are raw bytes (a string without terminator or one longer than any buffer can be
// stored), subkeys enumerate in the order they were added, empty path parts are passed over.
// It records how it was used.
class RegistryMemory : public RegistryApi {
public:
    // Creates root\path and every key above it.
    void addKey(RegHandle root, const std::string &path)
    {
        std::string key = std::to_string(root);
        for (const std::string &part : parts(path + "\\")) {
            if (!exists(key))
                m_keys.push_back(key);
            key += part.empty() ? "" : '\\' + part;
        }
    }
    // Stores the bytes as value `name` of root\path, creating the key.
    void setValue(RegHandle root, const std::string &path, const std::string &name,
                  const std::string &bytes)
    {
        addKey(root, path);
        m_values[find(root, path) + '|' + name] = bytes;
    }

    struct OpenCall {
        RegHandle root;
        std::string path;
        std::uint32_t options, access;
    };
    std::vector<OpenCall> openCalls;
    std::vector<std::uint32_t> queryByteCounts; // each query's buffer size on entry
    std::size_t openHandleCount() const { return m_handles.size(); }

    RegStatus openKey(RegHandle root, const char *path, std::uint32_t options, std::uint32_t access,
                      RegHandle *result) override
    {
        openCalls.push_back({root, path, options, access});
        const std::string key = find(root, path);
        if (key.empty())
            return kRegFileNotFound;
        m_handles[ *result = m_nextHandle++] = key;
        return kRegSuccess;
    }
    RegStatus queryValue(RegHandle key, const char *valueName, unsigned char *data,
                         std::uint32_t *byteCount) override
    {
        queryByteCounts.push_back(*byteCount);
        const auto value = m_values.find(find(key, {}) + '|' + valueName);
        if (value == m_values.end())
            return kRegFileNotFound;
        const std::uint32_t room = *byteCount;
        *byteCount = std::uint32_t(value->second.size());
        if (*byteCount > room)
            return kRegMoreData;
        std::memcpy(data, value->second.data(), *byteCount);
        return kRegSuccess;
    }
    RegStatus queryInfoKey(RegHandle key, char *, std::uint32_t *, std::uint32_t *count) override
    {
        *count = std::uint32_t(children(find(key, {})).size());
        return kRegSuccess;
    }
    RegStatus enumKey(RegHandle key, std::uint32_t index, char *name, std::uint32_t *nameLength,
                      char *, std::uint32_t *, std::uint64_t *) override
    {
        const std::vector<std::string> names = children(find(key, {}));
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
        return m_handles.erase(key) ? kRegSuccess : kRegInvalidHandle;
    }

private:
    // The parts between backslashes, empty ones (a trailing or doubled backslash) among them.
    static std::vector<std::string> parts(const std::string &path)
    {
        std::vector<std::string> out{{}};
        for (char c : path)
            c == '\\' ? out.emplace_back() : out.back() += c;
        return out;
    }
    bool exists(const std::string &key) const
    {
        return std::find(m_keys.begin(), m_keys.end(), key) != m_keys.end();
    }
    // A key's full name ("<root>\\A\\B"), "" when there is none.
    std::string find(RegHandle at, const std::string &path) const
    {
        const auto open = m_handles.find(at);
        std::string key = open != m_handles.end() ? open->second : std::to_string(at);
        for (const std::string &part : parts(path))
            key += part.empty() ? "" : '\\' + part;
        return exists(key) ? key : std::string();
    }
    std::vector<std::string> children(const std::string &key) const
    {
        std::vector<std::string> out;
        for (const std::string &k : m_keys)
            if (k.rfind(key + '\\', 0) == 0 && k.find('\\', key.size() + 1) == std::string::npos)
                out.push_back(k.substr(key.size() + 1));
        return out;
    }

    std::vector<std::string> m_keys;             // full names, in the order they were added
    std::map<std::string, std::string> m_values; // "key|name" -> bytes
    std::map<RegHandle, std::string> m_handles;  // open handles -> full names
    RegHandle m_nextHandle = 1;
};

const QString kService = "SYSTEM\\CurrentControlSet\\Services\\FTSER2K\\Enum\\";
const QString kInstance = "FTDIBUS\\VID_0403+PID_6001+A50285BI\\0000";
const QString kParams = "SYSTEM\\CurrentControlSet\\Enum\\" + kInstance + "\\Device Parameters";

// Builds a registry from entries split by ';': "ROOT|path[|name|value]" (ROOT HKLM or DYN; no
// name: the key only; a value "raw:..." is stored without terminator), "svc:PORT" (the
// driver-service layout of one adapter), "dev:NAME:HARDWAREKEY[:PORT]" (a device on the
// configuration-manager route, with its port when given). %S, %I, %P stand for the service
// key, the adapter's instance and its parameters key; %1, %2 for two FTDI hardware keys.
void build(RegistryMemory &registry, QString layout)
{
    layout.replace("%S", kService).replace("%I", kInstance).replace("%P", kParams);
    layout.replace("%1", "FTDIBUS\\VID_0403+PID_6001+X1\\0000");
    layout.replace("%2", "FTDIBUS\\VID_0403+PID_6001+X2\\0000");
    const auto put = [&](const QString &entry) {
        const QStringList f = entry.split('|');
        const RegHandle root = f[0] == "DYN" ? kHKeyDynData : kHKeyLocalMachine;
        const bool raw = f.value(3).startsWith("raw:");
        if (f.size() < 4)
            registry.addKey(root, f.value(1).toStdString());
        else // a string as Windows stores one: its characters and a terminating NUL
            registry.setValue(root, f[1].toStdString(), f[2].toStdString(),
                              f[3].mid(raw ? 4 : 0).toStdString() +
                                  (raw ? "" : std::string(1, '\0')));
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
    // exists). A check "N>device" asks PortDevice(N), "device>N" PortNumberForDevice(device).
    void numbers_data()
    {
        QTest::addColumn<QString>("program"); // each a list, ' ' between
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("checks");
        QTest::newRow("fixed names") << QString() << QString()
                                     << "1>/dev/ttyS0 0> 15>/dev/ttyUSB10 /dev/ttyS0>1 "
                                        "/dev/ttyUSB10>15 /dev/ttyS4>0";
        // A dangling alias still names its port: opening it will say what is wrong. An alias
        // COM5 sends number 5 elsewhere, so ttyUSB0 has no number any more.
        QTest::newRow("program folder") << "9=%T 2=%P/nowhere 5=/dev/null" << QString()
                                        << "9>%P/ports/COM9 2>%P/ports/COM2 8>/dev/ttyUSB3 %T>9 "
                                           "%P/ports/COM9>9 /dev/null>5 /dev/ttyUSB0>0";
        // The user's aliases count after the program folder's, which wins on the same number.
        QTest::newRow("user folder after the program folder")
            << "3=%T"
            << "9=%T 5=%T 3=/dev/null"
            << "9>%U/ports/COM9 3>%P/ports/COM3 %T>3 /dev/null>0 /dev/ttyUSB0>0";
    }
    void numbers()
    {
        QFETCH(QString, program);
        QFETCH(QString, user);
        QFETCH(QString, checks);
        QTemporaryDir folder, config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const auto fill = [&](QString s) {
            return s.replace("%P", folder.path())
                .replace("%U", config.filePath("Nuvora"))
                .replace("%T", folder.filePath("tty"));
        };
        test::writeFile(fill("%T"), {});
        for (const auto &[where, aliases] : {std::pair{fill("%P"), program}, {fill("%U"), user}})
            for (const QString &a : aliases.split(' ', Qt::SkipEmptyParts))
                QVERIFY(
                    test::linkPort(where, a.section('=', 0, 0).toInt(), fill(a.section('=', 1))));
        QCOMPARE(UserPortsFolder(), fill("%U/ports"));
        for (const QString &check : checks.split(' ')) {
            const QString from = fill(check.section('>', 0, 0)), to = fill(check.section('>', 1));
            const QString got = from.startsWith('/')
                                    ? QString::number(PortNumberForDevice(from, folder.path()))
                                    : PortDevice(from.toInt(), folder.path());
            QVERIFY2(got == to, qPrintable(check + ": " + got));
        }
        qunsetenv("XDG_CONFIG_HOME");
    }

    void argument()
    {
        // number -1: refused
        for (const auto &[text, number, device] : {std::tuple{"7", 7, ""},
                                                   {"COM12", 12, ""},
                                                   {"com3", 3, ""},
                                                   {" COM2 ", 2, ""},
                                                   {"/dev/pts/4", 0, "/dev/pts/4"},
                                                   {"COM0", -1, ""},
                                                   {"40000", -1, ""},
                                                   {"", -1, ""}}) {
            const PortArgument a = ParsePortArgument(text);
            QVERIFY2(a.valid == (number >= 0) && a.number == qMax(number, 0) &&
                         a.device == device && a.error.isEmpty() == a.valid,
                     text);
        }
    }

    // The FTDI driver's folder in sysfs ("-": none) and another driver's, laid out as the
    // kernel does it; entries as test::layOutUsbSerial takes them.
    void sysfs_data()
    {
        QTest::addColumn<QStringList>("ftdi");
        QTest::addColumn<QStringList>("other");
        QTest::addColumn<QString>("expected");
        using L = QStringList;
        const L attributes{"file:bind", "file:uevent", "link:ftdi_sio"};
        QTest::newRow("only another driver") << L{"-"} << L{"ttyUSB0"} << "";
        QTest::newRow("driver loaded, no adapter") << attributes << L{} << "";
        QTest::newRow("lowest number wins")
            << L{"ttyUSB10", "ttyUSB9", "ttyUSB7"} << L{} << "COM12";
        QTest::newRow("other ttys and attributes ignored")
            << attributes + L{"file:ttyUSB0", "link:ttyACM0", "ttyS0",    "ttyUSB", "ttyUSBx",
                              "ttyUSB1a",     "ttyUSB01",     "xttyUSB1", "ttyUSB6"}
            << L{} << "COM11";
        QTest::newRow("other driver's tty not taken") << L{"ttyUSB1"} << L{"ttyUSB0"} << "COM6";
        QTest::newRow("adapter unplugged while listed")
            << L{"dangling:ttyUSB0", "ttyUSB2"} << L{} << "COM7";
        QTest::newRow("largest number that fits a port") << L{"ttyUSB32762"} << L{} << "COM32767";
        QTest::newRow("number beyond any port ignored")
            << L{"ttyUSB32763", "ttyUSB99999999999999"} << L{} << "";
    }
    void sysfs()
    {
        QFETCH(QStringList, ftdi);
        QFETCH(QStringList, other);
        QFETCH(QString, expected);
        QTemporaryDir root;
        if (ftdi != QStringList{"-"})
            test::layOutUsbSerial(root.path(), "ftdi_sio", ftdi);
        test::layOutUsbSerial(root.path(), "pl2303", other);
        QCOMPARE(QString::fromStdString(ftdiSysfsPortName(root.path().toStdString())), expected);
    }

    void registry_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<QString>("port"); // what the lookup finds
        const auto row = [](const char *name, const QString &registry, const QString &port) {
            QTest::newRow(name) << registry << port;
        };
        // Driver-service route (NT family: no dynamic-data hive).
        row("service route", "svc:COM7", "COM7");
        row("no value 0", "HKLM|%S|1|%I;HKLM|%P|PortName|COM7", "");
        row("device key missing", "HKLM|%S|0|%I", "");
        row("no PortName", "HKLM|%S|0|%I;HKLM|%P|Polling|raw:1", "");
        // A value fills at most 255 bytes, its terminator included when it has one.
        row("254 characters", "svc:" + QString(254, 'a'), QString(254, 'a'));
        row("255 characters: missing", "svc:" + QString(255, 'c'), "");
        row("255 raw characters", "HKLM|%S|0|%I;HKLM|%P|PortName|raw:" + QString(255, 'b'),
            QString(255, 'b'));
        row("empty DYN enum", "DYN|Config Manager\\Enum;svc:COM7", "COM7");
        // Configuration-manager (CM) route (Windows 9x).
        row("CM: first match", "dev:C0:ROOT\\X\\0;dev:C1:%1:COM9;dev:C2:%2:COM10", "COM9");
        row("CM before service", "dev:C1:%1:COM9;svc:COM7", "COM9");
        row("enum order", "dev:C2:%2:COM10;dev:C1:%1:COM9", "COM10");
        row("255-char device", "dev:" + QString(255, 'k') + ":%1:COM9", "COM9");
        row("marker inside", "dev:C1:USB\\FTDIBUS_COMPOSITE\\7:COM15", "COM15");
        row("lower-case bus", "dev:C1:ftdibus\\v\\0:COM11;svc:COM7", "COM7");
        row("CM no PortName", "dev:C1:%1;svc:COM7", "COM7");
        row("CM no PortName, stop", "dev:C1:%1;dev:C2:%2:COM10", "");
        // The walk ends before the list's empty end marker, which would name the list itself.
        row("end marker never read",
            "DYN|Config Manager\\Enum|HardWareKey|%1;dev:C0:ROOT\\X;HKLM|Enum\\%1|PortName|COM9",
            "");
        row("raw hardware key",
            "DYN|Config Manager\\Enum\\C1|HardWareKey|raw:%1;HKLM|Enum\\%1|PortName|COM9", "COM9");
        row("300-byte key", "dev:C1:FTDIBUS\\" + QString(290, 'L') + ":COM9;svc:COM7", "COM7");
    }
    // Besides the port: read access on every open, every key closed again, each query handed the
    // whole buffer (a short earlier value must not shrink a later read), and for one row of each
    // route the keys opened in order, nothing after the first match.
    void registry()
    {
        QFETCH(QString, registry);
        QFETCH(QString, port);
        const QString e = "80000006 Config Manager\\Enum", h = "80000002 ";
        const QHash<QString, QStringList> keys{
            {"service route", {e, h + kService, h + kParams}},
            {"CM: first match",
             {e, e + "\\C0", e + "\\C1", h + "Enum\\FTDIBUS\\VID_0403+PID_6001+X1\\0000"}}};
        const QStringList opened = keys.value(QTest::currentDataTag());
        RegistryMemory memory;
        build(memory, registry);
        QCOMPARE(QString::fromStdString(GetUSBCom(memory)), port);
        QStringList seen;
        for (const auto &call : memory.openCalls) {
            QVERIFY(call.options == 0u && call.access == 0x20019u);
            seen << QString::number(call.root, 16) + ' ' + QString::fromStdString(call.path);
        }
        QVERIFY(!seen.isEmpty());
        QVERIFY(opened.isEmpty() || seen == opened);
        for (std::uint32_t count : memory.queryByteCounts)
            QCOMPARE(count, 255u);
        QCOMPARE(memory.openHandleCount(), std::size_t{0});
    }
};

QTEST_GUILESS_MAIN(PortsTest)
#include "tst_ports.moc"
