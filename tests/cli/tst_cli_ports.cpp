// nuvora-cli ports as a user runs it: the port list, the aliases and the USB item's choice.
#include "Fixtures.h"
#include "Programs.h"
#include "TestFiles.h"

#include "serial/PortNames.h"

#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

class TestCliPorts : public QObject {
    Q_OBJECT

private slots:
    void usbChoice_data()
    {
        QTest::addColumn<QStringList>("ttys"); // served by ftdi_sio
        QTest::addColumn<int>("alias");        // ports/COMn made in the program folder, 0: none
        QTest::addColumn<QString>("line");     // expected in stdout
        QTest::newRow("no adapter") << QStringList{} << 0 << "USB item: no FTDI adapter found";
        QTest::newRow("lowest adapter")
            << QStringList{"ttyUSB11", "ttyUSB4"} << 0 << "USB item: COM9 (/dev/ttyUSB4)\n";
        QTest::newRow("alias of the same number wins")
            << QStringList{"ttyUSB0"} << 5 << "/ports/COM5)\n";
    }
    void usbChoice()
    {
        QFETCH(QStringList, ttys);
        QFETCH(int, alias);
        QFETCH(QString, line);
        QTemporaryDir sysfs, folder;
        test::layOutUsbSerial(sysfs.path(), "ftdi_sio", ttys);
        QVERIFY(!alias || test::linkPort(folder.path(), alias, "/dev/null"));
        const auto r = test::runProgram({test::programPath("nuvora-cli"), "ports", "--sysfs",
                                         sysfs.path(), "--folder", folder.path()});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(line.toUtf8()), r.out.constData());
        QCOMPARE(r.out.contains("warning:"), alias != 0); // the alias hides the adapter's device
        QVERIFY2(r.err.isEmpty(), r.err.constData());
    }
    // Whatever this machine has: each port it knows, under our number for it; then the aliases.
    void portsAndAliasesListed()
    {
        QTemporaryDir folder;
        QVERIFY(test::linkPort(folder.path(), 12, "/dev/null"));
        QVERIFY(test::linkPort(folder.path(), 3, folder.filePath("gone")));
        test::writeFile(folder.filePath("ports/README"), "not a port");
        const auto r = test::runProgram({test::programPath("nuvora-cli"), "ports", "--folder",
                                         folder.path(), "--sysfs", folder.filePath("no")});
        QCOMPARE(r.status, 0);
        const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
        QCOMPARE(r.out.contains("No serial ports found on this machine.\n"), ports.isEmpty());
        for (const QSerialPortInfo &info : ports) {
            const int number = PortNumberForDevice(info.systemLocation(), folder.path());
            const bool ftdi = info.hasVendorIdentifier() && info.vendorIdentifier() == 0x0403;
            const QByteArray port = number > 0 ? "COM" + QByteArray::number(number) : "-";
            const QByteArray row = info.systemLocation().toUtf8() + ' ' + port + ' ';
            const auto at = r.out.simplified().indexOf(row);
            QVERIFY2(at >= 0, row.constData());
            QCOMPARE(r.out.simplified().mid(at).split(' ').value(3),
                     QByteArray(ftdi ? "yes" : "-"));
        }
        const auto com3 =
            r.out.indexOf("  COM3     -> " + folder.filePath("gone").toUtf8() + "  (missing");
        const auto com12 = r.out.indexOf("  COM12    -> /dev/null\n");
        QVERIFY2(com3 >= 0 && com12 > com3, r.out.constData());
        QVERIFY(!r.out.contains("README"));
    }
    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // on stderr, or at the start of stdout for help
        QTest::newRow("unknown option") << QStringList{"--fast"} << 2 << "unknown option '--fast'";
        QTest::newRow("--sysfs without folder")
            << QStringList{"--sysfs"} << 2 << "--sysfs needs a folder";
        QTest::newRow("help") << QStringList{"--help"} << 0 << "usage: nuvora-cli ports";
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        const auto r =
            test::runProgram(QStringList{test::programPath("nuvora-cli"), "ports"} + args);
        QCOMPARE(r.status, status);
        QVERIFY2((status ? r.err.contains(says.toUtf8()) : r.out.startsWith(says.toUtf8())),
                 r.err.constData());
        QVERIFY(status == 0 || !r.out.contains("USB item"));
    }
};

QTEST_GUILESS_MAIN(TestCliPorts)
#include "tst_cli_ports.moc"
