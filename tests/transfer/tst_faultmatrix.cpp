// Every device fault crossed with the moment it strikes, through the real run and its boxes,
// with the real one-second deadline. The rows run side by side, so the whole table waits
// about as long as its slowest row.
#include "Station.h"

#include <QElapsedTimer>
#include <QTest>

#include <memory>
#include <vector>

using namespace nuvora;
using devsim::SimOptions;
using test::Box;

namespace {

constexpr int kImageBytes = 40;          // frames at 0 and 16, and 8 bytes at 32
const QList<int> kFrames{-1, 0, 16, 32}; // the probe (a read), then the write frames
const char *const kMoments[] = {"the probe", "the first frame", "a middle frame", "the last frame"};
constexpr int kSlackMs = 1500; // a loaded machine's lateness; an extra attempt is counted apart

// One row: the fault, the request it strikes (1 the probe .. 4 the last frame) and what the
// struck request sees, attempt by attempt: '-' no answer, 'a' accepted, 'r' acknowledgement
// rejected (a fresh attempt set follows), 'c' read checksum wrong, 'x' line lost.
struct Row {
    QString name;
    SimOptions options;
    int moment;
    QString attempts;
};

std::vector<Row> rows()
{
    std::vector<Row> out;
    const auto cross = [&out](const char *fault, SimOptions o, const char *attempts,
                              QList<int> moments = {1, 2, 3, 4}) {
        for (int m : moments) {
            o.faultAt = m;
            out.push_back({QStringLiteral("%1 at %2").arg(fault, kMoments[m - 1]), o, m, attempts});
        }
    };
    const auto with = [](auto set) {
        SimOptions o;
        set(o);
        return o;
    };
    cross("silence", with([](SimOptions &o) { o.silent = true; }), "-----");
    cross("no answer to 1 request", with([](SimOptions &o) { o.ignoreFirst = 1; }), "-a");
    cross("no answer to 4 requests", with([](SimOptions &o) { o.ignoreFirst = 4; }), "----a");
    cross("no answer to 5 requests", with([](SimOptions &o) { o.ignoreFirst = 5; }), "-----");
    cross("no answer to 6 requests", with([](SimOptions &o) { o.ignoreFirst = 6; }), "-----");
    // Every answer from then on this late; a request that comes meanwhile supersedes it.
    cross("answers 50 ms inside the deadline",
          with([](SimOptions &o) { o.lateBy = std::chrono::milliseconds(950); }), "a");
    cross("answers 50 ms past the deadline",
          with([](SimOptions &o) { o.lateBy = std::chrono::milliseconds(1050); }), "-----");
    // One byte of the probe's two; a write's one-byte answer cut short is no answer at all.
    cross("a short answer", with([](SimOptions &o) { o.shortFirst = 1; }), "-a");
    // Only write frames are acknowledged, and only the probe is a read.
    cross("a wrong acknowledgement", with([](SimOptions &o) { o.badAckFirst = 1; }), "ra",
          {2, 3, 4});
    cross("wrong acknowledgements always", with([](SimOptions &o) { o.badAckAlways = true; }),
          "rrrrr", {2, 3, 4});
    cross("a wrong read checksum", with([](SimOptions &o) { o.badReadChecksum = true; }), "c", {1});
    // Junk after every answer: read with it and ignored, or dropped before the next request.
    cross("stale bytes before each next answer", with([](SimOptions &o) { o.staleBytes = 3; }),
          "a");
    cross("a hang-up", with([](SimOptions &o) {
              o.silentAfter = 0;
              o.hangUpAfter = 1;
          }),
          "x");
    return out;
}

} // namespace

class FaultMatrixTest : public QObject {
    Q_OBJECT

    std::vector<Row> m_rows = rows();
    std::vector<std::unique_ptr<test::Station>> m_stations;
    std::vector<qint64> m_elapsedMs;
    std::vector<int> m_outcomes;
    std::vector<QElapsedTimer> m_clocks;

private slots:
    // All rows at once, on one thread as the product runs several ports.
    void initTestCase()
    {
        const std::size_t n = m_rows.size();
        m_elapsedMs.assign(n, -1);
        m_outcomes.assign(n, -1);
        m_clocks.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            m_stations.push_back(std::make_unique<test::Station>(m_rows[i].options));
            test::Station &s = *m_stations.back();
            s.loadImage(kImageBytes);
            connect(s.run.get(), &ProgrammingRun::finished, this, [this, i](RunOutcome outcome) {
                m_elapsedMs[i] = m_clocks[i].elapsed();
                m_outcomes[i] = int(outcome);
            });
        }
        for (std::size_t i = 0; i < n; ++i) {
            m_clocks[i].start();
            m_stations[i]->run->start();
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::count(m_outcomes.begin(), m_outcomes.end(), -1) == 0, 60000);
    }
    void cleanupTestCase() { m_stations.clear(); }

    void faults_data()
    {
        QTest::addColumn<int>("row");
        for (std::size_t i = 0; i < m_rows.size(); ++i)
            QTest::newRow(qPrintable(m_rows[i].name)) << int(i);
    }

    // The outcome and its box, the progress, the lamps, the requests and the time, each worked
    // out from the struck request's attempts.
    void faults()
    {
        QFETCH(int, row);
        const Row &r = m_rows[std::size_t(row)];
        test::Station &s = *m_stations[std::size_t(row)];
        const bool ok = r.attempts.endsWith('a');
        const int m = r.moment;
        const int framesDone = ok ? 3 : qMax(0, m - 2); // write frames acknowledged
        QString lamps = QStringLiteral("TR").repeated(m - 1);
        QList<int> requests = kFrames.mid(0, m - 1);
        for (QChar a : r.attempts) {
            lamps += a == '-' || a == 'x' ? "T" : "TR";
            requests << kFrames[m - 1];
        }
        if (ok) {
            lamps += QStringLiteral("TR").repeated(4 - m);
            requests += kFrames.mid(m);
        } else if (!r.attempts.endsWith('c')) { // a wrong checksum lights no error lamp
            lamps += 'E';
        }
        const auto outcome = ok       ? RunOutcome::Success
                             : m == 1 ? RunOutcome::ProbeFailed
                                      : RunOutcome::WriteFailed;
        const Box box = ok       ? Box{"T19", 64, "T18"}
                        : m == 1 ? Box{"T9", 48, "T8"}
                                 : Box{"T10", 48, "T8"};
        QList<double> progress{0};
        for (int f = 0; f < framesDone; ++f)
            progress << qMin(16 * (f + 1), kImageBytes);
        if (m > 1 || ok)
            progress << 0; // the bar was set up after the probe; emptied at the end
        const qint64 lateMs = ok ? qint64(r.options.lateBy.count()) * (5 - m) : 0;
        const qint64 lowMs = 1000 * r.attempts.count('-') + lateMs;

        QCOMPARE(m_outcomes[std::size_t(row)], int(outcome));
        QCOMPARE(s.prompter.boxes, QList<Box>{box});
        QCOMPARE(s.state->ProgressCount, ok ? kImageBytes : 16 * framesDone);
        QCOMPARE(s.view.values, progress);
        QCOMPARE(s.view.lamps, lamps);
        QCOMPARE(s.requestAddresses(), requests);
        QCOMPARE(s.view.calls.filter("able"), (QStringList{"disable", "enable"}));
        const qint64 ms = m_elapsedMs[std::size_t(row)];
        QVERIFY2(ms >= lowMs - 2 && ms <= lowMs + kSlackMs,
                 qPrintable(QStringLiteral("%1 ms, expected %2 to %3")
                                .arg(ms)
                                .arg(lowMs)
                                .arg(lowMs + kSlackMs)));
        // Only a line that went away is closed; the port stays open after any other run.
        QTRY_COMPARE(s.line.isOpen(), !r.attempts.contains('x'));
    }
};

QTEST_GUILESS_MAIN(FaultMatrixTest)
#include "tst_faultmatrix.moc"
