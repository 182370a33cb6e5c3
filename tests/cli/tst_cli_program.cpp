// nuvora-cli program as a user runs it: exit status, progress, outcome texts, the EEPROM.
#include "Fixtures.h"
#include "Programs.h"
#include "SimulatedDevice.h"
#include "TestFiles.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

#include <unistd.h>

using namespace nuvora;

namespace {

// IMAGE as S2 records of 16 bytes, as the Fujitsu tools write them.
void writeImage(const QString &path, const QByteArray &image)
{
    QByteArray file = "S0030000FC\r\n";
    for (int a = 0; a < image.size(); a += 16) {
        QByteArray rec = char(qMin<int>(16, image.size() - a) + 4) + QByteArray(2, 0) + char(a) +
                         image.mid(a, 16);
        rec += char(~std::accumulate(rec.begin(), rec.end(), 0,
                                     [](int n, char c) { return n + quint8(c); }));
        file += "S2" + rec.toHex().toUpper() + "\r\n";
    }
    test::writeFile(path, file + "S804000000FB\r\n");
}

} // namespace

class CliProgramTest : public QObject {
    Q_OBJECT
private slots:
    void program_data()
    {
        QTest::addColumn<QStringList>("args"); // @name: a file in the folder; @dev: the device
        QTest::addColumn<int>("silentAfter");  // requests the device answers (-1: all)
        QTest::addColumn<bool>("asUser");      // run as a user without rights on the terminal
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // parts of stderr, '|' between them
        QTest::addColumn<int>("written");  // image bytes expected in the EEPROM, -1: not checked
        const QStringList run{"program", "@image", "--port", "@dev"};
        QTest::newRow("programs the device")
            << run << -1 << false << 0
            << "progress 100%  40/40 bytes  3/3 frames|The whole image has been written" << 40;
        QTest::newRow("no port") << QStringList{"program", "@image"} << -1 << false << 2
                                 << "usage: nuvora-cli program" << -1;
        QTest::newRow("image missing")
            << QStringList{"program", "/nonexistent/x.mhx", "--port", "@dev"} << -1 << false << 4
            << "error 53" << 0;
        QTest::newRow("image without S2 data") << QStringList{"program", "@text", "--port", "@dev"}
                                               << -1 << false << 3 << "S-record" << 0;
        QTest::newRow("port does not exist")
            << QStringList{"program", "@image", "--port", "/dev/nuvora-none"} << -1 << false << 5
            << "Communication failure" << 0;
        QTest::newRow("probe without answer")
            << run << 0 << false << 6 << "The device does not answer" << 0;
        QTest::newRow("second frame fails") << run << 2 << false << 7 << "Writing stopped" << 16;
        QTest::newRow("no rights names dialout")
            << run << -1 << true << 5 << "Communication failure|dialout" << 0;
    }

    void program()
    {
        QFETCH(QStringList, args);
        QFETCH(int, silentAfter);
        QFETCH(bool, asUser);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(int, written);
        if (asUser && ::geteuid() != 0) // our own terminal would be ours to open
            QSKIP("needs root to run as a user without rights on the terminal");
        devsim::SimOptions o;
        o.silentAfter = silentAfter;
        auto sim = test::startDevice(o);
        QTemporaryDir dir;
        const QByteArray image = test::randomBytes(40);
        writeImage(dir.filePath("image.mhx"), image);
        test::writeFile(dir.filePath("text.mhx"), "just some words\r\n");
        // The terminal belongs to root with mode 620: user 65534 may read the image, not open it.
        test::openUpForOthers(dir.path());
        test::openUpForOthers(dir.filePath("image.mhx"));
        args.replaceInStrings(QRegularExpression("^@dev$"), test::devicePath(*sim));
        args.replaceInStrings(QRegularExpression("^@(.*)"), dir.filePath("\\1.mhx"));
        const QStringList user = asUser ? test::unprivilegedPrefix() : QStringList{};
        const auto r = test::runProgram(user + QStringList{test::programPath("nuvora-cli")} + args);
        QCOMPARE(r.status, status);
        for (const QString &part : says.split('|'))
            QVERIFY2(r.err.contains(part.toUtf8()), r.err.constData());
        if (written < 0)
            return;
        const QByteArray eeprom = test::toBytes(sim->eeprom());
        QCOMPARE(eeprom.left(written), image.left(written));
        // The failing frame itself may have reached the EEPROM; nothing after it was sent.
        const int untouched = written == 0 || written == 40 ? written : written + 16;
        QCOMPARE(eeprom.mid(untouched, 65536 - untouched),
                 QByteArray(65536 - untouched, char(0xFF)));
    }

    // Several ports at once: each device gets its run, and the first port in the order given
    // that failed decides the status.
    void severalPorts_data()
    {
        QTest::addColumn<QList<int>>("silentAfter"); // per device, -1: answers everything
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("programmed");
        QTest::newRow("all three") << QList<int>{-1, -1, -1} << 0 << 3;
        QTest::newRow("second stops after its second frame") << QList<int>{-1, 3, -1} << 7 << 2;
        QTest::newRow("first has no device, third stops")
            << QList<int>{0, -1, 3} << 6 << 1;
    }
    void severalPorts()
    {
        QFETCH(QList<int>, silentAfter);
        QFETCH(int, status);
        QFETCH(int, programmed);
        QTemporaryDir dir;
        const QByteArray image = test::randomBytes(100);
        writeImage(dir.filePath("image.mhx"), image);
        std::vector<std::unique_ptr<devsim::DeviceSimulator>> sims;
        QStringList args{"program", dir.filePath("image.mhx")};
        for (int quiet : silentAfter) {
            devsim::SimOptions o;
            o.silentAfter = quiet;
            sims.push_back(test::startDevice(o));
            args << "--port" << test::devicePath(*sims.back());
        }
        const auto r = test::runProgram(QStringList{test::programPath("nuvora-cli")} + args);
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(QStringLiteral("%1 of %2 devices programmed")
                                    .arg(programmed)
                                    .arg(silentAfter.size())
                                    .toUtf8()),
                 r.err.constData());
        for (std::size_t i = 0; i < sims.size(); ++i) {
            const QString label = test::devicePath(*sims[i]) + ": ";
            const bool ok = silentAfter[qsizetype(i)] < 0;
            // Every line a device's run prints carries its port.
            QVERIFY2(r.err.contains((label + (ok ? "note: " : "warning: ")).toUtf8()),
                     r.err.constData());
            const QByteArray eeprom = test::toBytes(sims[i]->eeprom());
            QCOMPARE(eeprom.left(image.size()) == image, ok);
        }
    }
};

QTEST_GUILESS_MAIN(CliProgramTest)
#include "tst_cli_program.moc"
