// nuvora-cli ports as a user runs it: the port list, the aliases and the USB item's choice.
#include "TestFiles.h"

#include "serial/PortNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runPorts(const QStringList &args)
{
    const QString folder = qEnvironmentVariableIsSet("NUVORA_BIN_DIR")
                               ? nuvora::test::binDir()
                               : QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    QProcess p;
    p.start(folder + QStringLiteral("/nuvora-cli"), QStringList{QStringLiteral("ports")} + args);
    if (!p.waitForStarted(10000))
        return {-2, {}, p.errorString().toUtf8()};
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-3, {}, "nuvora-cli ports did not finish"};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// A sysfs tree whose ftdi_sio driver serves the given ttyUSB numbers.
void fakeSysfs(const QString &root, const QList<int> &ttys)
{
    const QString driver = root + QStringLiteral("/bus/usb-serial/drivers/ftdi_sio");
    QVERIFY(QDir().mkpath(driver));
    for (int k : ttys) {
        const QString device = QStringLiteral("devices/usb1/1-1/1-1:1.0/ttyUSB%1").arg(k);
        QVERIFY(QDir().mkpath(root + QLatin1Char('/') + device));
        QVERIFY(QFile::link(QStringLiteral("../../../../") + device,
                            driver + QStringLiteral("/ttyUSB%1").arg(k)));
    }
}

} // namespace

class TestCliPorts : public QObject {
    Q_OBJECT

private slots:
    void usbChoice_data();
    void usbChoice();
    void everyPortListed();
    void aliasesListed();
    void usage_data();
    void usage();
};

void TestCliPorts::usbChoice_data()
{
    QTest::addColumn<QList<int>>("ttys");
    QTest::addColumn<int>("alias");       // ports/COMn made in the program folder, 0: none
    QTest::addColumn<QByteArray>("line"); // expected in stdout
    QTest::addColumn<bool>("warning");

    QTest::newRow("no adapter") << QList<int>{} << 0
                                << QByteArray("USB item: no FTDI adapter found") << false;
    QTest::newRow("adapter on ttyUSB2")
        << QList<int>{2} << 0 << QByteArray("USB item: COM7 (/dev/ttyUSB2)\n") << false;
    QTest::newRow("lowest adapter")
        << QList<int>{11, 4} << 0 << QByteArray("USB item: COM9 (/dev/ttyUSB4)\n") << false;
    QTest::newRow("alias of the same number wins")
        << QList<int>{0} << 5 << QByteArray("/ports/COM5)\n") << true;
}

void TestCliPorts::usbChoice()
{
    QFETCH(QList<int>, ttys);
    QFETCH(int, alias);
    QFETCH(QByteArray, line);
    QFETCH(bool, warning);
    QTemporaryDir sysfs;
    QTemporaryDir folder;
    QVERIFY(sysfs.isValid() && folder.isValid());
    fakeSysfs(sysfs.path(), ttys);
    if (alias) {
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("ports")));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"),
                            folder.filePath(QStringLiteral("ports/COM%1").arg(alias))));
    }

    const Run r = runPorts(
        {QStringLiteral("--sysfs"), sysfs.path(), QStringLiteral("--folder"), folder.path()});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.contains(line), r.out.constData());
    QCOMPARE(r.out.contains("warning:"), warning);
    QVERIFY2(r.err.isEmpty(), r.err.constData());
}

// Whatever this machine has: each port it knows, under our number for it; or a plain "none".
void TestCliPorts::everyPortListed()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const Run r = runPorts({QStringLiteral("--folder"), folder.path(), QStringLiteral("--sysfs"),
                            folder.filePath(QStringLiteral("nosys"))});
    QCOMPARE(r.status, 0);
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        QVERIFY2(r.out.contains("No serial ports found on this machine.\n"), r.out.constData());
        return;
    }
    QVERIFY(!r.out.contains("No serial ports"));
    const QList<QByteArray> lines = r.out.split('\n');
    for (const QSerialPortInfo &info : ports) {
        const int number = nuvora::PortNumberForDevice(info.systemLocation(), folder.path());
        const QByteArray port = number > 0 ? "COM" + QByteArray::number(number) : "-";
        bool found = false;
        for (const QByteArray &l : lines) {
            const QList<QByteArray> fields = l.simplified().split(' ');
            if (fields.size() >= 4 && fields[0] == info.systemLocation().toUtf8()) {
                QCOMPARE(fields[1], port);
                const bool ftdi = info.hasVendorIdentifier() && info.vendorIdentifier() == 0x0403;
                QCOMPARE(fields[3], QByteArray(ftdi ? "yes" : "-"));
                found = true;
            }
        }
        QVERIFY2(found, qPrintable(info.systemLocation()));
    }
}

void TestCliPorts::aliasesListed()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("ports")));
    QVERIFY(
        QFile::link(QStringLiteral("/dev/null"), folder.filePath(QStringLiteral("ports/COM12"))));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("gone")),
                        folder.filePath(QStringLiteral("ports/COM3"))));
    nuvora::test::writeFile(folder.filePath(QStringLiteral("ports/README")), "not a port");

    const Run r = runPorts({QStringLiteral("--folder"), folder.path(), QStringLiteral("--sysfs"),
                            folder.filePath(QStringLiteral("nosys"))});
    QCOMPARE(r.status, 0);
    const qsizetype com3 = r.out.indexOf(
        "  COM3     -> " + folder.filePath(QStringLiteral("gone")).toUtf8() + "  (missing");
    const qsizetype com12 = r.out.indexOf("  COM12    -> /dev/null\n");
    QVERIFY2(com3 >= 0 && com12 > com3, r.out.constData());
    QVERIFY(!r.out.contains("README"));
}

void TestCliPorts::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--fast")} << 2 << QByteArray("unknown option '--fast'");
    QTest::newRow("stray argument")
        << QStringList{QStringLiteral("COM3")} << 2 << QByteArray("unknown argument 'COM3'");
    QTest::newRow("--sysfs without folder")
        << QStringList{QStringLiteral("--sysfs")} << 2 << QByteArray("--sysfs needs a folder");
    QTest::newRow("--folder without folder")
        << QStringList{QStringLiteral("--folder")} << 2 << QByteArray("--folder needs a folder");
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << QByteArray();
}

void TestCliPorts::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, err);
    const Run r = runPorts(args);
    QCOMPARE(r.status, status);
    if (status == 0) {
        QVERIFY(r.out.startsWith("usage: nuvora-cli ports"));
        QVERIFY(r.err.isEmpty());
    } else {
        QVERIFY2(r.err.contains(err), r.err.constData());
        QVERIFY(!r.out.contains("USB item"));
    }
}

QTEST_GUILESS_MAIN(TestCliPorts)
#include "tst_cliports.moc"
