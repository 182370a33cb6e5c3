// The FTDI adapter's port found in a sysfs tree laid out the way the kernel does it.
#include "serial/UsbSerialLookup.h"

#include "Fixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

class TestUsbSysfs : public QObject {
    Q_OBJECT

private slots:
    void lookup_data()
    {
        QTest::addColumn<QStringList>("ftdi"); // "-": no ftdi_sio folder at all
        QTest::addColumn<QStringList>("other");
        QTest::addColumn<QString>("expected");
        const QStringList attributes{"file:bind", "file:uevent", "link:ftdi_sio"}, none;
        QTest::newRow("no bus folder") << QStringList{"-"} << none << "";
        QTest::newRow("only another driver") << QStringList{"-"} << QStringList{"ttyUSB0"} << "";
        QTest::newRow("driver loaded, no adapter") << attributes << none << "";
        QTest::newRow("adapter on ttyUSB0")
            << attributes + QStringList{"ttyUSB0"} << none << "COM5";
        QTest::newRow("lowest of several wins")
            << QStringList{"ttyUSB7", "ttyUSB2", "ttyUSB4"} << none << "COM7";
        QTest::newRow("compared as numbers")
            << QStringList{"ttyUSB10", "ttyUSB9"} << none << "COM14";
        QTest::newRow("other ttys and attributes ignored")
            << attributes + QStringList{"file:ttyUSB0", "link:ttyACM0", "ttyS0",
                                        "ttyUSB",       "ttyUSBx",      "ttyUSB1a",
                                        "ttyUSB01",     "xttyUSB1",     "ttyUSB6"}
            << none << "COM11";
        QTest::newRow("other driver's tty not taken")
            << QStringList{"ttyUSB1"} << QStringList{"ttyUSB0"} << "COM6";
        QTest::newRow("adapter unplugged while listed")
            << QStringList{"dangling:ttyUSB0", "ttyUSB2"} << none << "COM7";
        QTest::newRow("largest number that fits a port")
            << QStringList{"ttyUSB32762"} << none << "COM32767";
        QTest::newRow("number beyond any port ignored")
            << QStringList{"ttyUSB32763", "ttyUSB99999999999999"} << none << "";
    }
    void lookup()
    {
        QFETCH(QStringList, ftdi);
        QFETCH(QStringList, other);
        QFETCH(QString, expected);
        QTemporaryDir root;
        if (ftdi != QStringList{"-"})
            test::layOutUsbSerial(root.path(), "ftdi_sio", ftdi);
        if (!other.isEmpty())
            test::layOutUsbSerial(root.path(), "pl2303", other);
        QCOMPARE(QString::fromStdString(ftdiSysfsPortName(root.path().toStdString())), expected);
    }
};

QTEST_GUILESS_MAIN(TestUsbSysfs)
#include "tst_usbsysfs.moc"
