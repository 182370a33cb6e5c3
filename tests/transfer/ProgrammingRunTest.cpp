#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "state/AppState.h"
#include "transfer/FrameExchange.h"
#include "transfer/ProgrammingRun.h"

#include "RecordingPrompter.h"
#include "RecordingRunView.h"
#include "SimulatedDevice.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <memory>

using namespace nuvora;
using devsim::SimOptions;
using test::Box;

Q_DECLARE_METATYPE(QList<double>)

namespace {

constexpr std::int16_t kPort = 7;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A whole Start press: program folder with a ports/COM7 alias to the simulated device, the
// real port control and run, a recording front end and prompter.
struct Station {
    explicit Station(const SimOptions &options = {}, bool linkPort = true)
        : sim(test::startDevice(options)), state(std::make_unique<AppState>()),
          port(line, prompter, folder.path()), run(*state, port, view, prompter)
    {
        QDir().mkpath(folder.filePath("ports"));
        const QString target = linkPort ? test::devicePath(*sim) : folder.filePath("gone");
        QFile::link(target, folder.filePath("ports/COM7"));
        state->ComPort = kPort;
        state->ImageBuffer.fill(0xFF);
        state->LangText[8] = "T8 error";
        state->LangText[9] = "T9 no device";
        state->LangText[10] = "T10 write failed";
        state->LangText[18] = "T18 done";
        state->LangText[19] = "T19 programmed";
    }
    // A random image of n bytes, the rest erased, as a load leaves it.
    QByteArray loadImage(int n)
    {
        QByteArray image(n, Qt::Uninitialized);
        QRandomGenerator gen(quint32(n) * 7919u + 1);
        for (int i = 0; i < n; ++i) {
            image[i] = char(gen.bounded(256));
            state->ImageBuffer[std::size_t(i)] = std::uint8_t(image[i]);
        }
        state->ImageEnd = n - 1;
        return image;
    }
    // Presses Start and waits for the end; the outcome, or -1 when none came.
    int start(int timeoutMs = 60000)
    {
        QSignalSpy done(&run, &ProgrammingRun::finished);
        run.Command1_Click();
        if (done.isEmpty() && !done.wait(timeoutMs))
            return -1;
        return int(done.first().first().value<RunOutcome>());
    }
    // The write frames' addresses and length fields as the device received them.
    QList<int> writeAddresses() const
    {
        QList<int> out;
        for (const auto &f : sim->requestLog())
            if (f[0] & 0x80)
                out << (f[2] | (f[3] << 8));
        return out;
    }

    QTemporaryDir folder;
    std::unique_ptr<devsim::DeviceSimulator> sim;
    std::unique_ptr<AppState> state;
    SerialLine line;
    test::RecordingPrompter prompter;
    test::RecordingRunView view;
    PortControl port;
    ProgrammingRun run;
};

const Box kDoneBox{"T19 programmed", 64, "T18 done"};
const Box kNoDeviceBox{"T9 no device", 48, "T8 error"};
const Box kWriteFailedBox{"T10 write failed", 48, "T8 error"};

} // namespace

class ProgrammingRunTest : public QObject {
    Q_OBJECT
private slots:
    void framePlans_data();
    void framePlans();
    void probeWithoutAnswerUsesTheRealSecond();
    void secondFrameFails();
    void portCannotBeOpened();
    void hangUpMidRun();
    void startAgainWritesAgain();
    void runDestroyedMidWait();
};

void ProgrammingRunTest::framePlans_data()
{
    QTest::addColumn<int>("imageEnd");
    QTest::addColumn<QList<int>>("addresses");
    QTest::addColumn<QList<double>>("progress");
    QTest::newRow("ImageEnd 0") << 0 << QList<int>{0} << QList<double>{0, 1, 0};
    QTest::newRow("ImageEnd 15") << 15 << QList<int>{0} << QList<double>{0, 16, 0};
    QTest::newRow("ImageEnd 31") << 31 << QList<int>{0, 16} << QList<double>{0, 16, 32, 0};
    QTest::newRow("ImageEnd 33") << 33 << QList<int>{0, 16, 32}
                                 << QList<double>{0, 16, 32, 34, 0};
    QList<int> all;
    QList<double> steps{0};
    for (int a = 0; a < 65536; a += 16) {
        all << a;
        steps << a + 16;
    }
    steps << 0;
    QTest::newRow("ImageEnd 65535") << 65535 << all << steps;
}

void ProgrammingRunTest::framePlans()
{
    QFETCH(int, imageEnd);
    QFETCH(QList<int>, addresses);
    QFETCH(QList<double>, progress);
    Station s;
    const QByteArray image = s.loadImage(imageEnd + 1);
    QCOMPARE(s.start(), int(RunOutcome::Success));
    QCOMPARE(s.writeAddresses(), addresses);
    const auto log = s.sim->requestLog();
    QCOMPARE(test::toBytes(log.front()).toHex(), QByteArray("0000040004")); // the probe first
    for (std::size_t i = 1; i < log.size(); ++i)
        QCOMPARE(int(log[i].size()), 21);
    QCOMPARE(s.view.values, progress);
    QCOMPARE(s.view.progressMax, double(imageEnd + 1));
    QCOMPARE(s.state->ProgressCount, imageEnd + 1);
    QCOMPARE(s.view.calls.first(), QStringLiteral("disable"));
    QCOMPARE(s.view.withoutLamps().mid(s.view.withoutLamps().size() - 2),
             (QStringList{"enable", "value 0"}));
    QCOMPARE(s.prompter.boxes, (QList<Box>{kDoneBox}));
    QVERIFY(test::toBytes(s.sim->eeprom()) == test::expectedEeprom(image));
    QVERIFY(s.line.isOpen()); // the port stays open after a run
}

void ProgrammingRunTest::probeWithoutAnswerUsesTheRealSecond()
{
    SimOptions o;
    o.silent = true;
    Station s(o);
    s.loadImage(100);
    QCOMPARE(s.run.exchange().deadline(), std::chrono::milliseconds(1000));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(s.start(), int(RunOutcome::ProbeFailed));
    QVERIFY2(clock.elapsed() >= 4950, "gave up before five one-second attempts");
    QCOMPARE(s.prompter.boxes, (QList<Box>{kNoDeviceBox}));
    QCOMPARE(s.sim->stats().writes, 0);
    QCOMPARE(s.sim->stats().reads, 5);
    QCOMPARE(s.view.withoutLamps(), (QStringList{"disable", "enable", "value 0"}));
    QCOMPARE(s.view.lamps.last(), int(LampState::ErrOn));
}

void ProgrammingRunTest::secondFrameFails()
{
    SimOptions o;
    o.silentAfter = 2; // the probe and the first frame are answered
    Station s(o);
    s.run.exchange().setDeadline(std::chrono::milliseconds(100));
    s.loadImage(64);
    QCOMPARE(s.start(), int(RunOutcome::WriteFailed));
    QCOMPARE(s.prompter.boxes, (QList<Box>{kWriteFailedBox}));
    QCOMPARE(s.state->ProgressCount, 16);
    QCOMPARE(s.view.values, (QList<double>{0, 16, 0}));
    QCOMPARE(s.writeAddresses(), (QList<int>{0, 16, 16, 16, 16, 16})); // five tries, no more
    QVERIFY(!s.view.disabled);
    QCOMPARE(s.view.lamps.last(), int(LampState::ErrOn));
}

void ProgrammingRunTest::portCannotBeOpened()
{
    Station s({}, false);
    s.loadImage(32);
    QCOMPARE(s.start(), int(RunOutcome::PortFailed));
    QCOMPARE(s.prompter.boxes, (QList<Box>{{"Communication failure", 48, kAppTitle}}));
    QVERIFY(s.view.calls.isEmpty()); // never locked, bar untouched
    QCOMPARE(s.sim->stats().requests, 0);
}

void ProgrammingRunTest::hangUpMidRun()
{
    SimOptions o;
    o.hangUpAfter = 10;
    o.baud = 19200; // a real line's pace, so the run is mid-way when the device goes
    Station s(o);
    s.loadImage(4096);
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = cpuSeconds();
    QCOMPARE(s.start(15000), int(RunOutcome::WriteFailed));
    const double wall = clock.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    qInfo("hang-up run: %.3f s wall, %.3f s CPU", wall, cpu);
    QVERIFY2(wall < 4.0, "the lost line was not noticed");
    QVERIFY2(cpu < 0.5 * wall, "busy waiting");
    QCOMPARE(s.prompter.boxes, (QList<Box>{kWriteFailedBox}));
    QCOMPARE(s.state->ProgressCount, 8 * 16);
    QTRY_VERIFY(!s.line.isOpen());
}

void ProgrammingRunTest::startAgainWritesAgain()
{
    Station s;
    const QByteArray image = s.loadImage(40);
    QCOMPARE(s.start(), int(RunOutcome::Success));
    QCOMPARE(s.start(), int(RunOutcome::Success));
    QCOMPARE(s.writeAddresses(), (QList<int>{0, 16, 32, 0, 16, 32}));
    QCOMPARE(s.sim->stats().reads, 2); // each run begins with its own probe
    QCOMPARE(s.prompter.boxes, (QList<Box>{kDoneBox, kDoneBox}));
    QVERIFY(test::toBytes(s.sim->eeprom()) == test::expectedEeprom(image));
}

void ProgrammingRunTest::runDestroyedMidWait()
{
    SimOptions o;
    o.silent = true;
    auto sim = test::startDevice(o);
    auto state = std::make_unique<AppState>();
    state->ComPort = 1;
    SerialLine line;
    test::RecordingPrompter prompter;
    test::RecordingRunView view;
    PortControl port(line, prompter, QString());
    port.setResolver([&](int) { return test::devicePath(*sim); });
    auto run = std::make_unique<ProgrammingRun>(*state, port, view, prompter);
    run->Command1_Click();
    QVERIFY(sim->waitForRequests(1, std::chrono::seconds(5)));
    run.reset(); // the window closed while the probe waits
    QTest::qWait(1300); // past the attempt's deadline: nothing may fire into the dead run
    QVERIFY(prompter.boxes.isEmpty());
    QCOMPARE(sim->stats().requests, 1);
    QCOMPARE(view.withoutLamps(), QStringList{"disable"});
}

QTEST_GUILESS_MAIN(ProgrammingRunTest)
#include "ProgrammingRunTest.moc"
