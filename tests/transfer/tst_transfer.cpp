// The frame exchange and the programming run against the simulated device: clean runs of each
// image size and every device fault crossed with the moment it strikes, all side by side with
// the real one-second deadline; then stops, a closed port and a run destroyed mid-wait.
#include "Fixtures.h"
#include "RecordingPrompter.h"
#include "Rows.h"
#include "SimulatedDevice.h"
#include "base/RunView.h"
#include "commands/StartCommand.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "transfer/FrameExchange.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>
#include <vector>

using namespace nuvora;
using namespace std::chrono_literals;
using devsim::SimOptions;
using namespace nuvora::test;

namespace {

// Records what a programming run asks of its front end: locking ('d' disabled, 'e' enabled),
// the bar, and the lamps lit as T, R, E (t, r, e when put out), each in order.
class RecordingRunView : public RunView {
public:
    void DisableCommands() override { locks += 'd'; }
    void EnableCommands() override { locks += 'e'; }
    void setProgressMax(double max) override { progressMax = max; }
    void setProgressValue(double value) override { values << value; }
    void SetLamp(LampState state) override { lamps += QLatin1Char("treTRE"[int(state) - 1]); }

    QString locks, lamps;
    QList<double> values;
    double progressMax = 0;
};

// A whole Start press: a ports/COM7 alias to the simulated device, the real port control, run
// and exchange, a recording front end and prompter; language texts k read "Tk".
struct Station {
    explicit Station(devsim::SimOptions options = {})
        : sim((options.logFrames = 8192, startDevice(options))),
          state(std::make_unique<AppState>()), port(line, folder.path()),
          run(std::make_unique<ProgrammingRun>(*state, port, view))
    {
        ShowOutcomeBoxes(*run, *state, port, prompter);
        linkPort(folder.path(), 7, devicePath(*sim));
        port.SetCom(7);
        state->ComPort = 7;
        state->ImageBuffer.fill(0xFF);
        for (int k : {8, 9, 10, 18, 19})
            state->LangText[std::size_t(k)] = QStringLiteral("T%1").arg(k);
    }
    // A random image of n bytes, the rest erased, as a load leaves it.
    QByteArray loadImage(int n)
    {
        image = randomBytes(n, quint32(n));
        std::copy(image.begin(), image.end(), state->ImageBuffer.begin());
        state->ImageEnd = n - 1;
        return image;
    }

    QTemporaryDir folder;
    std::unique_ptr<devsim::DeviceSimulator> sim;
    std::unique_ptr<AppState> state;
    SerialLine line;
    RecordingPrompter prompter;
    RecordingRunView view;
    PortControl port;
    std::unique_ptr<ProgrammingRun> run;
    QByteArray image;
    QElapsedTimer clock; // from the start to the run's outcome
    qint64 elapsedMs = -1;
    int outcome = -1;
};

const char *const kMoments[] = {"the probe", "the first frame", "a middle frame", "the last frame"};
constexpr int kSlackMs = 1500; // a loaded machine's lateness; an extra attempt is counted apart

// One row: the image size, the fault, the request it strikes (1 the probe) and what the struck
// request sees, attempt by attempt: '-' no answer, 'a' accepted, 'r' acknowledgement rejected
// (a fresh attempt set follows), 'c' read checksum wrong, 'x' line lost.
struct Row {
    QString name;
    SimOptions options;
    int bytes, moment;
    QString attempts;
};

std::vector<Row> rows()
{
    std::vector<Row> out;
    for (int bytes : {1, 16, 65536}) // a tail alone, a page alone, all; 40 below
        out.push_back({QStringLiteral("clean, %1 bytes").arg(bytes), {}, bytes, 1, "a"});
    // 40 bytes: frames at 0 and 16, and 8 bytes at 32. Each fault strikes at the moments given
    // (1 the probe, 4 the last frame).
    using Set = void (*)(SimOptions &);
    const std::vector<std::tuple<const char *, const char *, const char *, Set>> faults{
        {"no answer to 4 requests", "----a", "1234", [](auto &o) { o.ignoreFirst = 4; }},
        {"no answer to 5 requests", "-----", "1234", [](auto &o) { o.ignoreFirst = 5; }},
        // Every answer from then on this late; a request that comes meanwhile supersedes it.
        {"answers 50 ms inside the deadline", "a", "1234", [](auto &o) { o.lateBy = 950ms; }},
        {"answers 50 ms past the deadline", "-----", "1234", [](auto &o) { o.lateBy = 1050ms; }},
        // One byte of the probe's two; a write's one-byte answer cut short is no answer at all.
        {"a short answer", "-a", "1234", [](auto &o) { o.shortFirst = 1; }},
        {"short answers always", "-----", "1", [](auto &o) { o.shortFirst = 9; }},
        // Only write frames are acknowledged, and only the probe is a read.
        {"a wrong acknowledgement", "ra", "234", [](auto &o) { o.badAckFirst = 1; }},
        {"wrong acknowledgements always", "rrrrr", "24", [](auto &o) { o.badAckAlways = true; }},
        {"a wrong read checksum", "c", "1", [](auto &o) { o.badReadChecksum = true; }},
        // Junk after every answer: read with it and ignored, or dropped before the next request.
        {"stale bytes after each answer", "a", "1234", [](auto &o) { o.staleBytes = 3; }},
        {"a hang-up", "x", "1234", [](auto &o) { o.silentAfter = 0, o.hangUpAfter = 1; }},
    };
    for (const auto &[fault, attempts, moments, set] : faults) {
        for (const char *m = moments; *m; ++m) {
            SimOptions o;
            set(o);
            o.faultAt = *m - '0';
            out.push_back({QStringLiteral("%1 at %2").arg(fault, kMoments[o.faultAt - 1]), o, 40,
                           o.faultAt, attempts});
        }
    }
    return out;
}

} // namespace

class TransferTest : public QObject {
    Q_OBJECT

    std::vector<Row> m_rows = rows();
    std::vector<std::unique_ptr<Station>> m_stations;
    int m_running = 0;
    QEventLoop *m_waiting = nullptr;

private slots:
    // All rows at once, on one thread as the product runs several ports; waiting costs no CPU.
    void initTestCase()
    {
        for (const Row &r : m_rows) {
            Station &s = *m_stations.emplace_back(std::make_unique<Station>(r.options));
            s.loadImage(r.bytes);
            connect(s.run.get(), &ProgrammingRun::finished, this, [this, &s](RunOutcome outcome) {
                s.elapsedMs = s.clock.elapsed();
                s.outcome = int(outcome);
                if (--m_running == 0 && m_waiting)
                    m_waiting->quit();
            });
        }
        QElapsedTimer wall;
        wall.start();
        const std::clock_t cpu0 = std::clock();
        // The 64 KiB run alone afterwards: its thousands of frames would slow the others down.
        for (const bool large : {false, true}) {
            for (std::size_t i = 0; i < m_rows.size(); ++i) {
                if ((m_rows[i].bytes > 1024) == large)
                    ++m_running, m_stations[i]->clock.start(), m_stations[i]->run->start();
            }
            // A real event loop: QTRY's polling would sleep between the frames.
            QEventLoop loop;
            m_waiting = &loop;
            QTimer::singleShot(60000, &loop, &QEventLoop::quit);
            if (m_running > 0)
                loop.exec();
            m_waiting = nullptr;
            QCOMPARE(m_running, 0);
            const double cpuMs = double(std::clock() - cpu0) * 1000 / CLOCKS_PER_SEC;
            QVERIFY2(large || cpuMs < 0.5 * double(wall.elapsed()), "busy waiting");
        }
    }
    void cleanupTestCase() { m_stations.clear(); }

    void faults_data() { indexRows(m_rows); }

    // The outcome and its box, the progress, the lamps, the requests, the device's memory and
    // the time, each worked out from the struck request's attempts.
    void faults()
    {
        const Row &r = currentRow(m_rows);
        Station &s = *m_stations[std::size_t(&r - m_rows.data())];
        QList<int> frames{-1}; // the probe (a read), then the write frames
        for (int a = 0; a < r.bytes; a += 16)
            frames << a;
        const int n = int(frames.size()), m = r.moment;
        const bool ok = r.attempts.endsWith('a');
        const int framesDone = ok ? n - 1 : qMax(0, m - 2); // write frames acknowledged
        QString lamps = QStringLiteral("TR").repeated(m - 1);
        QList<int> requests = frames.mid(0, m - 1);
        for (QChar a : r.attempts) {
            lamps += a == '-' || a == 'x' ? "T" : "TR";
            requests << frames[m - 1];
        }
        if (ok) {
            lamps += QStringLiteral("TR").repeated(n - m);
            requests += frames.mid(m);
        } else if (!r.attempts.endsWith('c')) { // a wrong checksum lights no error lamp
            lamps += 'E';
        }
        const int outcome = int(ok ? RunOutcome::Success
                                   : (m == 1 ? RunOutcome::ProbeFailed : RunOutcome::WriteFailed));
        const Box box = ok ? Box{"T19", 64, "T18"} : Box{m == 1 ? "T9" : "T10", 48, "T8"};
        const int written = ok ? r.bytes : 16 * framesDone;
        QList<double> progress{0};
        for (int f = 0; f < framesDone; ++f)
            progress << qMin(16 * (f + 1), r.bytes);
        if (m > 1 || ok)
            progress << 0; // the bar was set up after the probe; emptied at the end
        const qint64 lateMs = ok ? qint64(r.options.lateBy.count()) * (n + 1 - m) : 0;
        const qint64 lowMs = 1000 * r.attempts.count('-') + lateMs, highMs = lowMs + kSlackMs;

        QCOMPARE(s.outcome, outcome);
        QCOMPARE(s.prompter.boxes, QList<Box>{box});
        QCOMPARE(s.state->ProgressCount, written);
        QCOMPARE(s.view.values, progress);
        QCOMPARE(s.view.progressMax, m > 1 || ok ? double(r.bytes) : 0.0);
        QCOMPARE(s.view.lamps, lamps);
        QCOMPARE(test::requestAddresses(*s.sim), requests);
        QCOMPARE(test::requestsHex(*s.sim).value(0), "0000040004"); // the probe: 1 byte at 4
        QCOMPARE(s.view.locks, QStringLiteral("de"));
        const QByteArray eeprom = test::toBytes(s.sim->eeprom());
        const QByteArray image = test::expectedEeprom(s.image);
        QVERIFY(ok ? eeprom == image : eeprom.left(written) == image.left(written));
        const qint64 ms = s.elapsedMs;
        QVERIFY2(
            ms >= lowMs - 2 && ms <= highMs + r.bytes / 8,
            qPrintable(QStringLiteral("%1 ms, expected %2 to %3").arg(ms).arg(lowMs).arg(highMs)));
        // Only a line that went away is closed; the port stays open after any other run.
        QTRY_COMPARE(s.line.isOpen(), !r.attempts.contains('x'));
    }

    // A stop request lets the exchange under way end and sends nothing after it: asked when
    // the probe ends (frame 1 is under way by then) or frame 3 ends (the last is under way).
    void stopOnRequest()
    {
        for (const int stopAt : {1, 4}) { // also the frames written
            Station s;
            const QByteArray image = s.loadImage(64);
            int ended = 0;
            QObject::connect(&s.run->exchange(), &FrameExchange::finished, [&] {
                if (++ended == stopAt)
                    s.run->requestStop(); // after the run sent its next frame
            });
            const bool whole = stopAt == 4;
            QSignalSpy done(s.run.get(), &ProgrammingRun::finished);
            s.run->start();
            QVERIFY(!done.isEmpty() || done.wait(60000));
            QCOMPARE(done.first().first().value<RunOutcome>(),
                     whole ? RunOutcome::Success : RunOutcome::Interrupted);
            QCOMPARE(test::requestAddresses(*s.sim),
                     QList<int>({-1, 0, 16, 32, 48}).mid(0, stopAt + 1));
            QCOMPARE(s.state->ProgressCount, stopAt * 16);
            QVERIFY(test::toBytes(s.sim->eeprom()).left(stopAt * 16) == image.left(stopAt * 16));
            const Box stopped{"Programming interrupted: the device holds part of the image.", 48,
                              "T8"};
            QCOMPARE(s.prompter.boxes, (QList<Box>{whole ? Box{"T19", 64, "T18"} : stopped}));
            QCOMPARE(s.view.locks, QStringLiteral("de"));
        }
    }

    // A closed port sends nothing and lights no lamp (stale input is the table's); then a run
    // destroyed while its probe waits (the window closed) gets nothing fired into it.
    void closedPortAndDestroyedRun()
    {
        SimOptions o;
        o.silent = true;
        Station s(o);
        s.line.close();
        QSignalSpy done(&s.run->exchange(), &FrameExchange::finished);
        QVERIFY(s.run->exchange().ExchangeFrame(true, 4, 0x40, 15) && done.wait(5000));
        QVERIFY(!done.first().first().toBool() && s.run->exchange().attemptsMade() == 0);
        QCOMPARE(s.view.lamps, "");
        s.run->start(); // opens the port again
        QVERIFY(s.sim->waitForRequests(1, std::chrono::seconds(5)));
        s.run.reset();
        QTest::qWait(1300); // past the attempt's deadline
        QCOMPARE(done.count(), 1);
        QVERIFY(s.prompter.boxes.isEmpty());
        QCOMPARE(s.sim->stats().requests, 1); // the probe alone
        QCOMPARE(s.view.locks, QStringLiteral("d"));
    }
};

QTEST_GUILESS_MAIN(TransferTest)
#include "tst_transfer.moc"
