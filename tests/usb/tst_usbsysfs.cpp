// The FTDI adapter's port found in a sysfs tree laid out the way the kernel does it.
#include "serial/UsbSerialLookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;

namespace {

const QString kDevices = QStringLiteral("devices/pci0000:00/0000:00:14.0/usb1");

// Builds <root>/bus/usb-serial/drivers/<driver>/ the way the kernel fills it. Each entry is
// one of: "ttyUSBk" (a device folder and a relative link to it), "dangling:ttyUSBk"
// (a link whose device is gone), "file:name" (a plain attribute file such as bind),
// "link:name" (a link to a non-tty folder such as module).
void layOut(const QString &root, const QString &driver, const QStringList &entries)
{
    const QString driverDir = root + QStringLiteral("/bus/usb-serial/drivers/") + driver;
    QVERIFY(QDir().mkpath(driverDir));
    const QString up = QStringLiteral("../../../../");
    for (const QString &entry : entries) {
        const QString kind = entry.section(QLatin1Char(':'), 0, 0);
        const QString name = entry.section(QLatin1Char(':'), -1);
        if (kind == QLatin1String("file")) {
            QFile f(driverDir + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            continue;
        }
        QString target;
        if (kind == QLatin1String("link")) {
            target = QStringLiteral("module/") + name;
        } else {
            // A device folder per tty, as the kernel names them under the USB interface.
            target = kDevices + QStringLiteral("/1-2/1-2:1.0/") + name;
        }
        if (kind != QLatin1String("dangling"))
            QVERIFY(QDir().mkpath(root + QLatin1Char('/') + target));
        QVERIFY(QFile::link(up + target, driverDir + QLatin1Char('/') + name));
    }
}

} // namespace

class TestUsbSysfs : public QObject {
    Q_OBJECT

private slots:
    void lookup_data();
    void lookup();
    void noDriverFolder();
    void missingRoot();
};

void TestUsbSysfs::lookup_data()
{
    QTest::addColumn<QStringList>("ftdi");
    QTest::addColumn<QStringList>("otherDriver");
    QTest::addColumn<QString>("expected");

    const QStringList attributes{QStringLiteral("file:bind"), QStringLiteral("file:unbind"),
                                 QStringLiteral("file:uevent"), QStringLiteral("file:new_id"),
                                 QStringLiteral("link:ftdi_sio")};
    QTest::newRow("driver loaded, no adapter") << attributes << QStringList{} << "";
    QTest::newRow("one adapter on ttyUSB0")
        << attributes + QStringList{QStringLiteral("ttyUSB0")} << QStringList{} << "COM5";
    QTest::newRow("one adapter on ttyUSB3")
        << QStringList{QStringLiteral("ttyUSB3")} << QStringList{} << "COM8";
    QTest::newRow("lowest of several wins")
        << QStringList{QStringLiteral("ttyUSB7"), QStringLiteral("ttyUSB2"),
                       QStringLiteral("ttyUSB4")}
        << QStringList{} << "COM7";
    QTest::newRow("compared as numbers, not as text")
        << QStringList{QStringLiteral("ttyUSB10"), QStringLiteral("ttyUSB9")} << QStringList{}
        << "COM14";
    QTest::newRow("other ttys and attributes ignored")
        << attributes + QStringList{QStringLiteral("file:ttyUSB0"), QStringLiteral("link:ttyACM0"),
                                    QStringLiteral("ttyS0"),        QStringLiteral("ttyUSB"),
                                    QStringLiteral("ttyUSBx"),      QStringLiteral("ttyUSB1a"),
                                    QStringLiteral("ttyUSB01"),     QStringLiteral("xttyUSB1"),
                                    QStringLiteral("ttyUSB6")}
        << QStringList{} << "COM11";
    QTest::newRow("other driver's tty not taken")
        << QStringList{QStringLiteral("ttyUSB1")} << QStringList{QStringLiteral("ttyUSB0")}
        << "COM6";
    QTest::newRow("only another driver's tty")
        << attributes << QStringList{QStringLiteral("ttyUSB0")} << "";
    QTest::newRow("adapter unplugged while listed")
        << QStringList{QStringLiteral("dangling:ttyUSB0"), QStringLiteral("ttyUSB2")}
        << QStringList{} << "COM7";
    QTest::newRow("largest number that fits a port")
        << QStringList{QStringLiteral("ttyUSB32762")} << QStringList{} << "COM32767";
    QTest::newRow("number beyond any port ignored")
        << QStringList{QStringLiteral("ttyUSB32763"), QStringLiteral("ttyUSB99999999999999")}
        << QStringList{} << "";
}

void TestUsbSysfs::lookup()
{
    QFETCH(QStringList, ftdi);
    QFETCH(QStringList, otherDriver);
    QFETCH(QString, expected);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    layOut(root.path(), QStringLiteral("ftdi_sio"), ftdi);
    if (!otherDriver.isEmpty())
        layOut(root.path(), QStringLiteral("pl2303"), otherDriver);
    QCOMPARE(QString::fromStdString(ftdiSysfsPortName(root.path().toStdString())), expected);
}

void TestUsbSysfs::noDriverFolder()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // The bus is there (another driver is loaded) but ftdi_sio is not.
    layOut(root.path(), QStringLiteral("cp210x"), {QStringLiteral("ttyUSB0")});
    QCOMPARE(ftdiSysfsPortName(root.path().toStdString()), std::string());
}

void TestUsbSysfs::missingRoot()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QCOMPARE(ftdiSysfsPortName((root.path() + QStringLiteral("/absent")).toStdString()),
             std::string());
}

QTEST_GUILESS_MAIN(TestUsbSysfs)
#include "tst_usbsysfs.moc"
