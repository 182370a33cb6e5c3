#include "serial/PortNames.h"

#include "Fixtures.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

class PortNamesTest : public QObject {
    Q_OBJECT
private slots:
    void deviceAndNumber_data()
    {
        QTest::addColumn<int>("number"); // 0: the device has none
        QTest::addColumn<QString>("device");
        QTest::newRow("COM1") << 1 << "/dev/ttyS0";
        QTest::newRow("ttyUSB10") << 15 << "/dev/ttyUSB10";
        QTest::newRow("ttyS4 has no number") << 0 << "/dev/ttyS4";
    }

    void deviceAndNumber()
    {
        QFETCH(int, number);
        QFETCH(QString, device);
        QTemporaryDir folder;
        QCOMPARE(PortNumberForDevice(device, folder.path()), number);
        QCOMPARE(PortDevice(number, folder.path()), number > 0 ? device : QString());
    }

    void aliases()
    {
        QTemporaryDir folder;
        const QString target = folder.filePath("fake-tty");
        test::writeFile(target, {});
        QVERIFY(test::linkPort(folder.path(), 9, target));
        // A dangling alias still names the port: opening it will say what is wrong.
        QVERIFY(test::linkPort(folder.path(), 2, folder.filePath("nowhere")));
        QCOMPARE(PortDevice(9, folder.path()), folder.filePath("ports/COM9"));
        QCOMPARE(PortDevice(2, folder.path()), folder.filePath("ports/COM2"));
        QCOMPARE(PortDevice(8, folder.path()), QString("/dev/ttyUSB3"));
        QCOMPARE(PortNumberForDevice(target, folder.path()), 9);
        QCOMPARE(PortNumberForDevice(folder.filePath("ports/COM9"), folder.path()), 9);
        // An alias COM5 sends number 5 elsewhere, so ttyUSB0 has no number any more.
        QVERIFY(test::linkPort(folder.path(), 5, target));
        QCOMPARE(PortNumberForDevice("/dev/ttyUSB0", folder.path()), 0);
    }

    // The user's own aliases count after the program folder's, which wins on the same number.
    void userAliases()
    {
        QTemporaryDir folder, config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const QString user = config.filePath("Nuvora"), target = folder.filePath("fake-tty");
        test::writeFile(target, {});
        QVERIFY(test::linkPort(user, 9, target) && test::linkPort(user, 5, target));
        QVERIFY(test::linkPort(user, 3, "/dev/null") && test::linkPort(folder.path(), 3, target));
        QCOMPARE(UserPortsFolder(), user + "/ports");
        QCOMPARE(PortDevice(9, folder.path()), user + "/ports/COM9");
        QCOMPARE(PortDevice(3, folder.path()), folder.filePath("ports/COM3"));
        QCOMPARE(PortNumberForDevice(target, folder.path()), 3);
        QCOMPARE(PortNumberForDevice("/dev/null", folder.path()), 0);    // its COM3 is hidden
        QCOMPARE(PortNumberForDevice("/dev/ttyUSB0", folder.path()), 0); // the user's COM5 took it
        qunsetenv("XDG_CONFIG_HOME");
    }

    void argument_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number"); // -1: refused
        QTest::addColumn<QString>("device");
        QTest::newRow("number") << "7" << 7 << "";
        QTest::newRow("COMn") << "COM12" << 12 << "";
        QTest::newRow("lower case com") << "com3" << 3 << "";
        QTest::newRow("blanks around") << " COM2 " << 2 << "";
        QTest::newRow("device path") << "/dev/pts/4" << 0 << "/dev/pts/4";
        QTest::newRow("COM0") << "COM0" << -1 << "";
        QTest::newRow("too big for 16 bits") << "40000" << -1 << "";
        QTest::newRow("empty") << "" << -1 << "";
    }

    void argument()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(QString, device);
        const PortArgument a = ParsePortArgument(text);
        QCOMPARE(a.valid, number >= 0);
        QCOMPARE(a.number, qMax(number, 0));
        QCOMPARE(a.device, device);
        QCOMPARE(a.error.isEmpty(), a.valid);
    }
};

QTEST_GUILESS_MAIN(PortNamesTest)
#include "tst_portnames.moc"
