// The registry lookup of the FTDI adapter, against an in-memory registry.
#include "serial/GetUSBT.h"
#include "serial/RegistryMemory.h"

#include <QTest>

using namespace nuvora;

namespace {

const std::string kService = "SYSTEM\\CurrentControlSet\\Services\\FTSER2K\\Enum\\";
const std::string kInstance = "FTDIBUS\\VID_0403+PID_6001+A50285BI\\0000";
const std::string kParams =
    "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A50285BI\\0000\\Device "
    "Parameters";
const std::string kDynEnum = "Config Manager\\Enum";

// Builds a registry from lines "ROOT|path[|name|value]": ROOT is HKLM or DYN; a value starting
// with "raw:" is stored without terminator; a line without name only creates the key.
void build(RegistryMemory &registry, const QStringList &lines)
{
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char('|'));
        const RegHandle root = f[0] == QLatin1String("DYN") ? kHKeyDynData : kHKeyLocalMachine;
        const std::string path = f[1].toStdString();
        if (f.size() < 4) {
            registry.addKey(root, path);
        } else if (f[3].startsWith(QLatin1String("raw:"))) {
            registry.setValue(root, path, f[2].toStdString(), f[3].mid(4).toStdString());
        } else {
            registry.setString(root, path, f[2].toStdString(), f[3].toStdString());
        }
    }
}

QString line(const char *root, const std::string &path, const char *name = nullptr,
             const std::string &value = {})
{
    QString l = QLatin1String(root) + QLatin1Char('|') + QString::fromStdString(path);
    if (name)
        l += QLatin1Char('|') + QLatin1String(name) + QLatin1Char('|') +
             QString::fromStdString(value);
    return l;
}

// The NT-family layout of one installed adapter on the given port.
QStringList serviceRoute(const std::string &port)
{
    return {line("HKLM", kService, "0", kInstance), line("HKLM", kParams, "PortName", port)};
}

// A present device on the configuration-manager route and, if port is set, its port.
QStringList dynDevice(const std::string &device, const std::string &hardwareKey,
                      const std::string &port = {})
{
    QStringList l{line("DYN", kDynEnum + "\\" + device, "HardWareKey", hardwareKey)};
    if (!port.empty())
        l << line("HKLM", "Enum\\" + hardwareKey, "PortName", port);
    return l;
}

} // namespace

class TestGetUsbt : public QObject {
    Q_OBJECT

private slots:
    void cutNull_data();
    void cutNull();
    void enumSubKeys_data();
    void enumSubKeys();
    void enumSubKeysOnFailedKey();
    void readRegString_data();
    void readRegString();
    void getUsbCom_data();
    void getUsbCom();
    void everyReadIsCleanAndReadOnly_data();
    void everyReadIsCleanAndReadOnly();
    void driverServiceRouteKeys();
    void configManagerRouteStopsAtFirstMatch();
    void configManagerEnumOpenedOnce();
};

void TestGetUsbt::cutNull_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<uint>("count");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("count 0") << QByteArray("COM5\0", 5) << 0u << QByteArray();
    QTest::newRow("terminator counted") << QByteArray("COM5\0", 5) << 5u << QByteArray("COM5");
    QTest::newRow("no terminator") << QByteArray("COM5") << 4u << QByteArray("COM5");
    QTest::newRow("count shorter than text") << QByteArray("COM5\0", 5) << 3u << QByteArray("COM");
    QTest::newRow("only a terminator") << QByteArray("\0", 1) << 1u << QByteArray();
    QTest::newRow("only the last NUL dropped")
        << QByteArray("AB\0\0", 4) << 4u << QByteArray("AB\0", 3);
    QTest::newRow("inner NUL kept") << QByteArray("A\0B\0", 4) << 4u << QByteArray("A\0B", 3);
    QTest::newRow("full buffer without NUL")
        << QByteArray(255, 'x') << 255u << QByteArray(255, 'x');
    QTest::newRow("count beyond the buffer")
        << QByteArray(255, 'y') << 300u << QByteArray(255, 'y');
}

void TestGetUsbt::cutNull()
{
    QFETCH(QByteArray, buffer);
    QFETCH(uint, count);
    QFETCH(QByteArray, expected);
    ValueBuffer raw{};
    std::copy(buffer.begin(), buffer.end(), raw.begin());
    QCOMPARE(QByteArray::fromStdString(CutNull(raw, count)), expected);
}

void TestGetUsbt::enumSubKeys_data()
{
    QTest::addColumn<QStringList>("subKeys");

    QTest::newRow("none") << QStringList{};
    QTest::newRow("one") << QStringList{QStringLiteral("C29A0001")};
    QTest::newRow("order of addition kept")
        << QStringList{QStringLiteral("Zulu"), QStringLiteral("alpha"), QStringLiteral("Mike")};
    QTest::newRow("blank inside a name")
        << QStringList{QStringLiteral("Device Parameters"), QStringLiteral("Control")};
    QTest::newRow("longest legal name") << QStringList{QString(255, QLatin1Char('k'))};
}

void TestGetUsbt::enumSubKeys()
{
    QFETCH(QStringList, subKeys);
    RegistryMemory registry;
    registry.addKey(kHKeyLocalMachine, "Parent");
    for (const QString &k : subKeys)
        registry.addKey(kHKeyLocalMachine, "Parent\\" + k.toStdString());
    // A grandchild must not show up among the children.
    if (!subKeys.isEmpty())
        registry.addKey(kHKeyLocalMachine, "Parent\\" + subKeys[0].toStdString() + "\\Deep");

    RegHandle key = 0;
    QCOMPARE(registry.openKey(kHKeyLocalMachine, "Parent", 0, kKeyRead, &key), kRegSuccess);
    const std::vector<std::string> names = EnumSubKeys(registry, key);
    registry.closeKey(key);

    std::vector<std::string> expected;
    for (const QString &k : subKeys)
        expected.push_back(k.toStdString());
    if (!expected.empty())
        expected.emplace_back(); // the end marker
    QCOMPARE(names, expected);
}

void TestGetUsbt::enumSubKeysOnFailedKey()
{
    RegistryMemory registry;
    registry.addKey(kHKeyLocalMachine, "A\\B");
    // A handle nobody opened: the count query fails and nothing is listed.
    QVERIFY(EnumSubKeys(registry, 4711).empty());
}

void TestGetUsbt::readRegString_data()
{
    QTest::addColumn<QStringList>("registry");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");

    const QString p = QStringLiteral("SOFTWARE\\Nuvora");
    QTest::newRow("string") << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|V|COM5")} << p
                            << "V" << QByteArray("COM5");
    QTest::newRow("key missing") << QStringList{} << p << "V" << QByteArray();
    QTest::newRow("value missing")
        << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|W|x")} << p << "V" << QByteArray();
    QTest::newRow("names compare without case")
        << QStringList{QStringLiteral("HKLM|software\\NUVORA|portname|COM6")} << p << "PortName"
        << QByteArray("COM6");
    QTest::newRow("stored without terminator")
        << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|V|raw:COM3")} << p << "V"
        << QByteArray("COM3");
    QTest::newRow("empty string") << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|V|")} << p
                                  << "V" << QByteArray();
    QTest::newRow("254 characters and terminator fit")
        << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|V|") + QString(254, 'a')} << p << "V"
        << QByteArray(254, 'a');
    QTest::newRow("255 raw bytes fit")
        << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|V|raw:") + QString(255, 'b')} << p
        << "V" << QByteArray(255, 'b');
    QTest::newRow("256 bytes are missing")
        << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|V|") + QString(255, 'c')} << p << "V"
        << QByteArray();
    QTest::newRow("300 bytes are missing")
        << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|V|") + QString(299, 'd')} << p << "V"
        << QByteArray();
    QTest::newRow("trailing backslash on the key")
        << QStringList{QStringLiteral("HKLM|SOFTWARE\\Nuvora|V|COM8")}
        << QStringLiteral("SOFTWARE\\Nuvora\\") << "V" << QByteArray("COM8");
}

void TestGetUsbt::readRegString()
{
    QFETCH(QStringList, registry);
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    RegistryMemory memory;
    build(memory, registry);
    const std::string got =
        ReadRegString(memory, kHKeyLocalMachine, path.toStdString(), name.toStdString());
    QCOMPARE(QByteArray::fromStdString(got), expected);
    QCOMPARE(memory.openHandleCount(), std::size_t{0});
}

void TestGetUsbt::getUsbCom_data()
{
    QTest::addColumn<QStringList>("registry");
    QTest::addColumn<QString>("expected");

    const std::string ftdi1 = "FTDIBUS\\VID_0403+PID_6001+X1\\0000";
    const std::string ftdi2 = "FTDIBUS\\VID_0403+PID_6001+X2\\0000";
    const QStringList emptyDyn{line("DYN", kDynEnum)};

    // Driver-service route (NT family: no dynamic-data hive).
    QTest::newRow("empty registry") << QStringList{} << "";
    QTest::newRow("service route finds the port") << serviceRoute("COM7") << "COM7";
    QTest::newRow("two-digit port") << serviceRoute("COM12") << "COM12";
    QTest::newRow("driver not installed")
        << QStringList{line("HKLM", "SYSTEM\\CurrentControlSet\\Services\\Serial\\Enum", "0",
                            "ACPI\\PNP0501\\1")}
        << "";
    QTest::newRow("service key without value 0")
        << QStringList{line("HKLM", kService), line("HKLM", kParams, "PortName", "COM7")} << "";
    QTest::newRow("service key with value 1 only")
        << QStringList{line("HKLM", kService, "1", kInstance),
                       line("HKLM", kParams, "PortName", "COM7")}
        << "";
    QTest::newRow("device key missing")
        << QStringList{line("HKLM", kService, "0", kInstance)} << "";
    QTest::newRow("device key without PortName")
        << QStringList{line("HKLM", kService, "0", kInstance),
                       line("HKLM", kParams, "PollingPeriod", "raw:\x10")}
        << "";
    QTest::newRow("PortName of 300 bytes") << serviceRoute(std::string(299, 'C')) << "";
    QTest::newRow("PortName without terminator")
        << QStringList{line("HKLM", kService, "0", kInstance),
                       line("HKLM", kParams, "PortName", "raw:COM3")}
        << "COM3";
    QTest::newRow("instance path without terminator")
        << QStringList{line("HKLM", kService, "0", "raw:" + kInstance),
                       line("HKLM", kParams, "PortName", "COM4")}
        << "COM4";
    QTest::newRow("empty PortName") << serviceRoute("") << "";
    QTest::newRow("empty dynamic-data enumeration") << emptyDyn + serviceRoute("COM7") << "COM7";

    // Configuration-manager route (Windows 9x).
    QTest::newRow("config manager finds the port") << dynDevice("C1", ftdi1, "COM9") << "COM9";
    QTest::newRow("config manager before the service")
        << dynDevice("C1", ftdi1, "COM9") + serviceRoute("COM7") << "COM9";
    QTest::newRow("first FTDI device wins")
        << dynDevice("C1", ftdi1, "COM9") + dynDevice("C2", ftdi2, "COM10") << "COM9";
    QTest::newRow("enumeration order, not name order")
        << dynDevice("C2", ftdi2, "COM10") + dynDevice("C1", ftdi1, "COM9") << "COM10";
    QTest::newRow("other devices passed over")
        << dynDevice("C1", "ROOT\\*PNP0501\\0000", "COM1") +
               dynDevice("C2", "PCI\\VEN_8086\\3", "COM2") + dynDevice("C3", ftdi2, "COM10")
        << "COM10";
    QTest::newRow("last device is the FTDI one")
        << dynDevice("C1", "ROOT\\*PNP0501\\0000", "COM1") + dynDevice("C9", ftdi1, "COM9")
        << "COM9";
    QTest::newRow("marker inside the hardware key")
        << dynDevice("C1", "USB\\FTDIBUS_COMPOSITE\\7", "COM15") << "COM15";
    QTest::newRow("lower-case bus name does not match")
        << dynDevice("C1", "ftdibus\\vid_0403+pid_6001\\0000", "COM11") + serviceRoute("COM7")
        << "COM7";
    QTest::newRow("mixed-case bus name does not match")
        << dynDevice("C1", "FtdiBus\\VID_0403\\0000", "COM11") << "";
    QTest::newRow("device without HardWareKey")
        << QStringList{line("DYN", kDynEnum + "\\C1", "Problem", "raw:1")} + serviceRoute("COM7")
        << "COM7";
    QTest::newRow("FTDI device without PortName falls back")
        << dynDevice("C1", ftdi1) + serviceRoute("COM7") << "COM7";
    QTest::newRow("first FTDI device without PortName, second not tried")
        << dynDevice("C1", ftdi1) + dynDevice("C2", ftdi2, "COM10") << "";
    QTest::newRow("FTDI device without PortName and no service") << dynDevice("C1", ftdi1) << "";
    QTest::newRow("hardware key without terminator")
        << QStringList{line("DYN", kDynEnum + "\\C1", "HardWareKey", "raw:" + ftdi1),
                       line("HKLM", "Enum\\" + ftdi1, "PortName", "COM9")}
        << "COM9";
    QTest::newRow("hardware key of 300 bytes")
        << dynDevice("C1", "FTDIBUS\\" + std::string(290, 'L'), "COM9") + serviceRoute("COM7")
        << "COM7";
}

void TestGetUsbt::getUsbCom()
{
    QFETCH(QStringList, registry);
    QFETCH(QString, expected);
    RegistryMemory memory;
    build(memory, registry);
    QCOMPARE(QString::fromStdString(GetUSBCom(memory)), expected);
}

void TestGetUsbt::everyReadIsCleanAndReadOnly_data()
{
    getUsbCom_data();
}

// Whatever the registry holds: read access on every open, every key closed again, and each
// query handed the whole buffer (a short earlier value must not shrink a later read).
void TestGetUsbt::everyReadIsCleanAndReadOnly()
{
    QFETCH(QStringList, registry);
    RegistryMemory memory;
    build(memory, registry);
    GetUSBCom(memory);
    QVERIFY(!memory.openCalls().empty());
    for (const auto &call : memory.openCalls()) {
        QCOMPARE(call.options, 0u);
        QCOMPARE(call.access, 0x20019u);
    }
    for (std::uint32_t count : memory.queryByteCounts())
        QCOMPARE(count, 255u);
    QCOMPARE(memory.openHandleCount(), std::size_t{0});
}

void TestGetUsbt::driverServiceRouteKeys()
{
    RegistryMemory memory;
    build(memory, serviceRoute("COM7"));
    QCOMPARE(QString::fromStdString(GetUSBCom(memory)), QStringLiteral("COM7"));

    const auto &calls = memory.openCalls();
    QCOMPARE(calls.size(), std::size_t{3});
    QCOMPARE(calls[0].root, kHKeyDynData);
    QCOMPARE(calls[0].path, std::string("Config Manager\\Enum"));
    QCOMPARE(calls[0].root, RegHandle{0x80000006});
    QCOMPARE(calls[1].root, RegHandle{0x80000002});
    QCOMPARE(calls[1].path, std::string("SYSTEM\\CurrentControlSet\\Services\\FTSER2K\\Enum\\"));
    QCOMPARE(calls[2].root, RegHandle{0x80000002});
    QCOMPARE(calls[2].path,
             "SYSTEM\\CurrentControlSet\\Enum\\" + kInstance + "\\Device Parameters");
    QCOMPARE(calls[2].status, kRegSuccess);
}

void TestGetUsbt::configManagerRouteStopsAtFirstMatch()
{
    const std::string ftdi = "FTDIBUS\\VID_0403+PID_6001+X1\\0000";
    RegistryMemory memory;
    build(memory, dynDevice("C0", "ROOT\\*PNP0501\\0000") + dynDevice("C1", ftdi, "COM9") +
                      dynDevice("C2", "FTDIBUS\\OTHER\\0000", "COM10"));
    QCOMPARE(QString::fromStdString(GetUSBCom(memory)), QStringLiteral("COM9"));

    std::vector<std::pair<RegHandle, std::string>> opened;
    for (const auto &call : memory.openCalls())
        opened.emplace_back(call.root, call.path);
    const std::vector<std::pair<RegHandle, std::string>> expected{
        {kHKeyDynData, "Config Manager\\Enum"},
        {kHKeyDynData, "Config Manager\\Enum\\C0"},
        {kHKeyDynData, "Config Manager\\Enum\\C1"},
        {kHKeyLocalMachine, "Enum\\" + ftdi},
    };
    QCOMPARE(opened, expected);
}

// The enumeration key is opened once for the whole walk, and closed with everything else.
void TestGetUsbt::configManagerEnumOpenedOnce()
{
    RegistryMemory memory;
    build(memory, dynDevice("C0", "ROOT\\X\\0") + dynDevice("C1", "ROOT\\Y\\0"));
    QCOMPARE(GetUSBCom(memory), std::string());
    const auto &calls = memory.openCalls();
    QCOMPARE(std::count_if(calls.begin(), calls.end(),
                           [](const auto &c) { return c.path == "Config Manager\\Enum"; }),
             1);
    QCOMPARE(memory.openHandleCount(), std::size_t{0});
}

QTEST_GUILESS_MAIN(TestGetUsbt)
#include "tst_getusbt.moc"
