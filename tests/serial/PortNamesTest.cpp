#include "serial/PortNames.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

class PortNamesTest : public QObject {
    Q_OBJECT
private slots:
    void device_data();
    void device();
    void aliasWins();
    void inverse_data();
    void inverse();
    void inverseOfAlias();
    void argument_data();
    void argument();
};

void PortNamesTest::device_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM4") << 4 << "/dev/ttyS3";
    QTest::newRow("first USB") << 5 << "/dev/ttyUSB0";
    QTest::newRow("COM12") << 12 << "/dev/ttyUSB7";
    QTest::newRow("zero") << 0 << "";
    QTest::newRow("negative") << -3 << "";
}

void PortNamesTest::device()
{
    QFETCH(int, number);
    QFETCH(QString, device);
    QTemporaryDir folder;
    QCOMPARE(PortDevice(number, folder.path()), device);
}

void PortNamesTest::aliasWins()
{
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("ports"));
    QVERIFY(QFile::link("/dev/null", folder.filePath("ports/COM7")));
    // A dangling alias still names the port: opening it will say what is wrong.
    QVERIFY(QFile::link(folder.filePath("nowhere"), folder.filePath("ports/COM2")));
    QCOMPARE(PortDevice(7, folder.path()), folder.filePath("ports/COM7"));
    QCOMPARE(PortDevice(2, folder.path()), folder.filePath("ports/COM2"));
    QCOMPARE(PortDevice(8, folder.path()), QString("/dev/ttyUSB3"));
}

void PortNamesTest::inverse_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("number");
    QTest::newRow("ttyS0") << "/dev/ttyS0" << 1;
    QTest::newRow("ttyS3") << "/dev/ttyS3" << 4;
    QTest::newRow("ttyS4 has no number") << "/dev/ttyS4" << 0;
    QTest::newRow("ttyUSB0") << "/dev/ttyUSB0" << 5;
    QTest::newRow("ttyUSB10") << "/dev/ttyUSB10" << 15;
    QTest::newRow("ttyACM0") << "/dev/ttyACM0" << 0;
    QTest::newRow("pts") << "/dev/pts/3" << 0;
    QTest::newRow("prefix only") << "/dev/ttyUSB" << 0;
}

void PortNamesTest::inverse()
{
    QFETCH(QString, device);
    QFETCH(int, number);
    QTemporaryDir folder;
    QCOMPARE(PortNumberForDevice(device, folder.path()), number);
    if (number > 0)
        QCOMPARE(PortDevice(number, folder.path()), device); // the two rules agree
}

void PortNamesTest::inverseOfAlias()
{
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("ports"));
    const QString target = folder.filePath("fake-tty");
    test::writeFile(target, {});
    QVERIFY(QFile::link(target, folder.filePath("ports/COM9")));
    QCOMPARE(PortNumberForDevice(target, folder.path()), 9);
    QCOMPARE(PortNumberForDevice(folder.filePath("ports/COM9"), folder.path()), 9);
    // An alias COM5 sends number 5 elsewhere, so ttyUSB0 has no number any more.
    QVERIFY(QFile::link(target, folder.filePath("ports/COM5")));
    QCOMPARE(PortNumberForDevice("/dev/ttyUSB0", folder.path()), 0);
}

void PortNamesTest::argument_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("device");
    QTest::newRow("number") << "7" << true << 7 << "";
    QTest::newRow("COMn") << "COM12" << true << 12 << "";
    QTest::newRow("lower case com") << "com3" << true << 3 << "";
    QTest::newRow("blanks around") << " COM2 " << true << 2 << "";
    QTest::newRow("device path") << "/dev/pts/4" << true << 0 << "/dev/pts/4";
    QTest::newRow("relative path") << "bin/ports/COM7" << true << 0 << "bin/ports/COM7";
    QTest::newRow("zero") << "0" << false << 0 << "";
    QTest::newRow("COM0") << "COM0" << false << 0 << "";
    QTest::newRow("too big for 16 bits") << "40000" << false << 0 << "";
    QTest::newRow("negative") << "-1" << false << 0 << "";
    QTest::newRow("word") << "usb" << false << 0 << "";
    QTest::newRow("empty") << "" << false << 0 << "";
}

void PortNamesTest::argument()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, number);
    QFETCH(QString, device);
    const PortArgument a = ParsePortArgument(text);
    QCOMPARE(a.valid, valid);
    QCOMPARE(a.number, number);
    QCOMPARE(a.device, device);
    QCOMPARE(a.error.isEmpty(), valid);
}

QTEST_GUILESS_MAIN(PortNamesTest)
#include "PortNamesTest.moc"
