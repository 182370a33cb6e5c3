// The registry lookup of the FTDI adapter, against an in-memory registry.
#include "RegistryMemory.h"
#include "serial/GetUSBT.h"

#include <QTest>

using namespace nuvora;

namespace {

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
    QStringList entries;
    for (const QString &e : layout.split(';', Qt::SkipEmptyParts)) {
        const QStringList d = e.split(':');
        if (d[0] == "svc")
            entries << "HKLM|" + kService + "|0|" + kInstance
                    << "HKLM|" + kParams + "|PortName|" + d[1];
        else if (d[0] == "dev")
            entries << "DYN|Config Manager\\Enum\\" + d[1] + "|HardWareKey|" + d[2]
                    << (d.size() > 3 ? "HKLM|Enum\\" + d[2] + "|PortName|" + d[3] : "");
        else
            entries << e;
    }
    entries.removeAll(QString());
    for (const QString &e : entries) {
        const QStringList f = e.split('|');
        const RegHandle root = f[0] == "DYN" ? kHKeyDynData : kHKeyLocalMachine;
        const bool raw = f.value(3).startsWith("raw:");
        if (f.size() < 4)
            registry.addKey(root, f.value(1).toStdString());
        else // a string as Windows stores one: its characters and a terminating NUL
            registry.setValue(root, f[1].toStdString(), f[2].toStdString(),
                              f[3].mid(raw ? 4 : 0).toStdString() +
                                  (raw ? "" : std::string(1, '\0')));
    }
}

} // namespace

class TestGetUsbt : public QObject {
    Q_OBJECT

private slots:
    void readRegString_data()
    {
        QTest::addColumn<QString>("stored"); // name|value under HKLM\SOFTWARE\Nuvora, "" for no key
        QTest::addColumn<QString>("asked");  // path|name
        QTest::addColumn<QByteArray>("expected");
        const QString p = "SOFTWARE\\Nuvora|V";
        QTest::newRow("key missing") << "" << p << QByteArray();
        QTest::newRow("value missing") << "W|x" << p << QByteArray();
        QTest::newRow("trailing \\") << "V|COM8"
                                     << "SOFTWARE\\Nuvora\\|V" << QByteArray("COM8");
        QTest::newRow("254 + terminator") << "V|" + QString(254, 'a') << p << QByteArray(254, 'a');
        QTest::newRow("255 raw") << "V|raw:" + QString(255, 'b') << p << QByteArray(255, 'b');
        QTest::newRow("256: missing") << "V|" + QString(255, 'c') << p << QByteArray();
    }
    void readRegString()
    {
        QFETCH(QString, stored);
        QFETCH(QString, asked);
        QFETCH(QByteArray, expected);
        RegistryMemory memory;
        if (!stored.isEmpty())
            build(memory, "HKLM|SOFTWARE\\Nuvora|" + stored);
        const std::string got =
            ReadRegString(memory, kHKeyLocalMachine, asked.section('|', 0, 0).toStdString(),
                          asked.section('|', 1).toStdString());
        QCOMPARE(QByteArray::fromStdString(got), expected);
        QCOMPARE(memory.openHandleCount(), std::size_t{0});
    }

    void getUsbCom_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<int>("port"); // the COM number found, 0: none
        // Driver-service route (NT family: no dynamic-data hive).
        QTest::newRow("service route") << "svc:COM7" << 7;
        QTest::newRow("no driver") << "HKLM|SYSTEM\\CurrentControlSet\\Services\\x|0|y" << 0;
        QTest::newRow("no value 0") << "HKLM|%S|1|%I;HKLM|%P|PortName|COM7" << 0;
        QTest::newRow("device key missing") << "HKLM|%S|0|%I" << 0;
        QTest::newRow("no PortName") << "HKLM|%S|0|%I;HKLM|%P|Polling|raw:1" << 0;
        QTest::newRow("300-byte PortName") << "svc:" + QString(299, 'C') << 0;
        QTest::newRow("raw PortName") << "HKLM|%S|0|%I;HKLM|%P|PortName|raw:COM3" << 3;
        QTest::newRow("raw instance") << "HKLM|%S|0|raw:%I;HKLM|%P|PortName|COM4" << 4;
        QTest::newRow("empty DYN enum") << "DYN|Config Manager\\Enum;svc:COM7" << 7;
        // Configuration-manager (CM) route (Windows 9x).
        QTest::newRow("CM: first match") << "dev:C0:ROOT\\X\\0;dev:C1:%1:COM9;dev:C2:%2:COM10" << 9;
        QTest::newRow("CM before service") << "dev:C1:%1:COM9;svc:COM7" << 9;
        QTest::newRow("enum order") << "dev:C2:%2:COM10;dev:C1:%1:COM9" << 10;
        QTest::newRow("255-char device") << "dev:" + QString(255, 'k') + ":%1:COM9" << 9;
        QTest::newRow("marker inside") << "dev:C1:USB\\FTDIBUS_COMPOSITE\\7:COM15" << 15;
        QTest::newRow("lower-case bus") << "dev:C1:ftdibus\\v\\0:COM11;svc:COM7" << 7;
        QTest::newRow("no HardWareKey")
            << "DYN|Config Manager\\Enum\\C1|Problem|raw:1;svc:COM7" << 7;
        QTest::newRow("CM no PortName") << "dev:C1:%1;svc:COM7" << 7;
        QTest::newRow("CM no PortName, stop") << "dev:C1:%1;dev:C2:%2:COM10" << 0;
        // The walk ends before the list's empty end marker, which would name the list itself.
        QTest::newRow("end marker never read")
            << "DYN|Config Manager\\Enum|HardWareKey|%1;dev:C0:ROOT\\X;HKLM|Enum\\%1|PortName|COM9"
            << 0;
        QTest::newRow("raw hardware key")
            << "DYN|Config Manager\\Enum\\C1|HardWareKey|raw:%1;HKLM|Enum\\%1|PortName|COM9" << 9;
        QTest::newRow("300-byte key")
            << "dev:C1:FTDIBUS\\" + QString(290, 'L') + ":COM9;svc:COM7" << 7;
    }
    // Besides the port: read access on every open, every key closed again, each query handed the
    // whole buffer (a short earlier value must not shrink a later read), and for one row of each
    // route the keys opened in order, nothing after the first match.
    void getUsbCom()
    {
        QFETCH(QString, registry);
        QFETCH(int, port);
        const QString e = "80000006 Config Manager\\Enum", h = "80000002 ";
        const QHash<QString, QStringList> keys{
            {"service route", {e, h + kService, h + kParams}},
            {"CM: first match",
             {e, e + "\\C0", e + "\\C1", h + "Enum\\FTDIBUS\\VID_0403+PID_6001+X1\\0000"}}};
        const QStringList opened = keys.value(QTest::currentDataTag());
        RegistryMemory memory;
        build(memory, registry);
        QCOMPARE(QString::fromStdString(GetUSBCom(memory)), port ? QString("COM%1").arg(port) : "");
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

QTEST_GUILESS_MAIN(TestGetUsbt)
#include "tst_getusbt.moc"
