// nuvora-cli ports as a user runs it: the port list, the aliases and the USB item's choice.
#include "Fixtures.h"
#include "Programs.h"
#include "TestFiles.h"

#include "serial/PortNames.h"

#include <QDir>
#include <QFile>
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
    // --alias and --unalias in a fresh user folder; BYID holds usb-FTDI_A1 -> /dev/null, the
    // program folder COM8 -> /dev/full. `aliases` lists the user's folder before and after.
    void alias_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // on stdout, or stderr when failed
        QTest::addColumn<QString>("after");
        using L = QStringList;
        QTest::newRow("stable name preferred")
            << "" << L{"--alias", "7", "/dev/null"} << 0 << "COM7 -> BYID/usb-FTDI_A1"
            << "COM7=BYID/usb-FTDI_A1";
        QTest::newRow("no stable name")
            << "" << L{"--alias", "COM7", "/dev/zero"} << 0 << "COM7 -> /dev/zero"
            << "COM7=/dev/zero";
        QTest::newRow("replaced") << "COM7=/dev/zero" << L{"--alias", "7", "/dev/full"} << 0
                                  << "was -> /dev/zero"
                                  << "COM7=/dev/full";
        QTest::newRow("program folder wins")
            << "" << L{"--alias", "8", "/dev/zero"} << 0 << "warning: FOLDER/ports/COM8 wins"
            << "COM8=/dev/zero";
        QTest::newRow("removed") << "COM7=/dev/zero COM9=/dev/null" << L{"--unalias", "7"} << 0
                                 << "COM7: alias removed"
                                 << "COM9=/dev/null";
        QTest::newRow("none to remove") << "" << L{"--unalias", "7"} << 4 << "no alias"
                                        << "";
        QTest::newRow("no such device")
            << "" << L{"--alias", "7", "/dev/nowhere"} << 4 << "no device /dev/nowhere"
            << "";
        QTest::newRow("no device given") << "" << L{"--alias", "7"} << 2 << "needs a DEVICE"
                                         << "";
        QTest::newRow("not a number")
            << "" << L{"--unalias", "/dev/null"} << 2 << "'/dev/null' is not a port number"
            << "";
    }
    void alias()
    {
        QFETCH(QString, before);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(QString, after);
        QTemporaryDir config, byId, folder;
        const QString user = config.filePath("Nuvora");
        const auto fill = [&](QString text) {
            return text.replace("BYID", byId.path()).replace("FOLDER", folder.path());
        };
        QVERIFY(QFile::link("/dev/null", byId.filePath("usb-FTDI_A1")));
        QVERIFY(test::linkPort(folder.path(), 8, "/dev/full"));
        for (const QString &alias : before.split(' ', Qt::SkipEmptyParts))
            QVERIFY(test::linkPort(user, alias.mid(3, 1).toInt(), alias.mid(5)));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        const auto r =
            test::runProgram(QStringList{test::programPath("nuvora-cli"), "ports", "--by-id",
                                         byId.path(), "--folder", folder.path()} +
                                 args,
                             env);
        QCOMPARE(r.status, status);
        QVERIFY2((status ? r.err : r.out).contains(fill(says).toUtf8()), r.out + r.err);
        QStringList left;
        for (const QFileInfo &link : QDir(user + "/ports").entryInfoList(QDir::System))
            left << link.fileName() + '=' + link.symLinkTarget();
        QCOMPARE(left.join(' '), fill(after));
    }
    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // on stderr, or at the start of stdout for help
        QTest::newRow("unknown option") << QStringList{"--fast"} << 2 << "unknown option '--fast'";
        QTest::newRow("--sysfs without folder")
            << QStringList{"--sysfs"} << 2 << "error: missing value after '--sysfs'";
        QTest::newRow("stray argument")
            << QStringList{"COM3"} << 2
            << "error: unknown argument 'COM3'\ntry 'nuvora-cli ports --help'\n";
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
