// nuvora-cli program as a user runs it: exit status, progress, outcome texts, the EEPROM.
#include "SimulatedDevice.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace nuvora;
using devsim::SimOptions;

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QString cliPath()
{
    const QString folder = qEnvironmentVariableIsSet("NUVORA_BIN_DIR")
                               ? test::binDir()
                               : QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    return folder + QStringLiteral("/nuvora-cli");
}

Run runCli(const QStringList &args, const QStringList &prefix = {})
{
    QProcess p;
    if (prefix.isEmpty())
        p.start(cliPath(), args);
    else
        p.start(prefix.first(), prefix.mid(1) + QStringList{cliPath()} + args);
    if (!p.waitForStarted(10000))
        return {-2, {}, p.errorString().toUtf8()};
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-3, {}, "nuvora-cli did not finish"};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// One S2 record per 16 bytes from address 0: the form the Fujitsu tools write.
QByteArray s2File(const QByteArray &image)
{
    QByteArray out = "S0030000FC\r\n";
    for (int a = 0; a < image.size(); a += 16) {
        const QByteArray data = image.mid(a, 16);
        QByteArray rec;
        rec.append(char(data.size() + 4)).append(char(a >> 16)).append(char(a >> 8)).append(char(a));
        rec.append(data);
        int sum = 0;
        for (char c : rec)
            sum += std::uint8_t(c);
        rec.append(char(~sum & 0xFF));
        out += "S2" + rec.toHex().toUpper() + "\r\n";
    }
    return out + "S804000000FB\r\n";
}

QByteArray randomImage(int n)
{
    QByteArray image(n, Qt::Uninitialized);
    QRandomGenerator gen{quint32(n)};
    for (char &c : image)
        c = char(gen.bounded(256));
    return image;
}

} // namespace

class CliProgramTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void programsTheDevice();
    void failures_data();
    void failures();
    void deviceFaults_data();
    void deviceFaults();
    void forbiddenPortNamesDialout();

private:
    QTemporaryDir m_dir;
};

void CliProgramTest::programsTheDevice()
{
    auto sim = test::startDevice();
    const QByteArray image = randomImage(1000);
    const QString file = m_dir.filePath("good.mhx");
    test::writeFile(file, s2File(image));
    const Run r = runCli({"program", file, "--port", test::devicePath(*sim)});
    QVERIFY2(r.status == 0, r.err.constData());
    QVERIFY2(r.err.contains("progress 100%  1000/1000 bytes  63/63 frames"), r.err.constData());
    QVERIFY2(r.err.contains("The whole image has been written"), r.err.constData()); // English.lng
    QVERIFY(test::toBytes(sim->eeprom()) == test::expectedEeprom(image + QByteArray(8, char(0xFF))));
}

void CliProgramTest::failures_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::newRow("no port") << QStringList{"program", "x.mhx"} << 2 << "usage: nuvora-cli program";
    QTest::newRow("port is a word") << QStringList{"program", "x.mhx", "--port", "usb"} << 2
                                    << "neither a port number";
    QTest::newRow("port zero") << QStringList{"program", "x.mhx", "--port", "COM0"} << 2
                               << "out of range";
    QTest::newRow("unknown option") << QStringList{"program", "x.mhx", "--fast"} << 2
                                    << "unknown option";
    QTest::newRow("image missing")
        << QStringList{"program", "/nonexistent/x.mhx", "--port", "/dev/null"} << 4 << "error 53";
    QTest::newRow("image without S2 data")
        << QStringList{"program", "@text", "--port", "/dev/null"} << 3 << "S-record";
    QTest::newRow("port does not exist")
        << QStringList{"program", "@good", "--port", "/dev/nuvora-none"} << 5
        << "Communication failure";
}

void CliProgramTest::failures()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, says);
    test::writeFile(m_dir.filePath("text.mhx"), "just some words\r\n");
    test::writeFile(m_dir.filePath("good.mhx"), s2File(randomImage(32)));
    for (QString &a : args)
        if (a.startsWith('@'))
            a = m_dir.filePath(a.mid(1) + ".mhx");
    const Run r = runCli(args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
}

void CliProgramTest::deviceFaults_data()
{
    QTest::addColumn<int>("silentAfter");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::addColumn<int>("bytesWritten");
    QTest::newRow("probe without answer") << 0 << 6 << "The device does not answer" << 0;
    QTest::newRow("second frame fails") << 2 << 7 << "Writing stopped" << 16;
}

void CliProgramTest::deviceFaults()
{
    QFETCH(int, silentAfter);
    QFETCH(int, status);
    QFETCH(QString, says);
    QFETCH(int, bytesWritten);
    SimOptions o;
    o.silentAfter = silentAfter;
    auto sim = test::startDevice(o);
    const QByteArray image = randomImage(48);
    test::writeFile(m_dir.filePath("three.mhx"), s2File(image));
    const Run r = runCli({"program", m_dir.filePath("three.mhx"), "--port", test::devicePath(*sim)});
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
    const QByteArray eeprom = test::toBytes(sim->eeprom());
    QCOMPARE(eeprom.left(bytesWritten), image.left(bytesWritten));
    // The failing frame itself may have reached the EEPROM; nothing after it was sent.
    const int untouched = bytesWritten == 0 ? 0 : bytesWritten + 16;
    QCOMPARE(eeprom.mid(untouched, 48 - untouched), QByteArray(48 - untouched, char(0xFF)));
}

void CliProgramTest::forbiddenPortNamesDialout()
{
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (::geteuid() != 0 || setpriv.isEmpty())
        QSKIP("needs root and setpriv to run as a user without rights on the terminal");
    auto sim = test::startDevice();
    test::writeFile(m_dir.filePath("good.mhx"), s2File(randomImage(32)));
    QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | QFile::ReadOther
                                            | QFile::ExeOther);
    QFile::setPermissions(m_dir.filePath("good.mhx"), QFile::permissions(m_dir.filePath("good.mhx"))
                                                          | QFile::ReadOther);
    // The terminal belongs to root with mode 620: user 65534 may not open it.
    const Run r = runCli({"program", m_dir.filePath("good.mhx"), "--port", test::devicePath(*sim)},
                         {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"});
    QCOMPARE(r.status, 5);
    QVERIFY2(r.err.contains("Communication failure"), r.err.constData());
    QVERIFY2(r.err.contains("dialout"), r.err.constData());
    QCOMPARE(sim->stats().requests, 0);
}

QTEST_GUILESS_MAIN(CliProgramTest)
#include "CliProgramTest.moc"
