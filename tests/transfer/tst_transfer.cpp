#include "base/AppState.h"
#include "commands/StartCommand.h"
#include "serial/PortControl.h"
#include "serial/SerialLine.h"
#include "transfer/FrameExchange.h"

#include "Fixtures.h"
#include "RecordingPrompter.h"
#include "RecordingRunView.h"
#include "SimulatedDevice.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <ctime>
#include <memory>

using namespace nuvora;
using devsim::SimOptions;
using test::Box;

constexpr std::chrono::milliseconds kShortDeadline{150};

// The device keeps the requests these tests read back: a whole 64 KiB run and some.
static SimOptions logged(SimOptions options)
{
    options.logFrames = 8192;
    return options;
}

// A whole Start press: program folder with a ports/COM7 alias to the simulated device, the
// real port control, run and exchange, a recording front end and prompter.
struct Station {
    explicit Station(const SimOptions &options = {}, bool linkPort = true)
        : sim(test::startDevice(logged(options))), state(std::make_unique<AppState>()),
          port(line, folder.path()), run(std::make_unique<ProgrammingRun>(*state, port, view))
    {
        ShowOutcomeBoxes(*run, *state, port, prompter);
        test::linkPort(folder.path(), 7, linkPort ? test::devicePath(*sim) : folder.filePath("x"));
        if (linkPort)
            port.SetCom(7);
        state->ComPort = 7;
        state->ImageBuffer.fill(0xFF);
        for (int k : {8, 9, 10, 18, 19})
            state->LangText[std::size_t(k)] = QStringLiteral("T%1").arg(k);
    }
    // A random image of n bytes, the rest erased, as a load leaves it.
    QByteArray loadImage(int n)
    {
        const QByteArray image = test::randomBytes(n, quint32(n));
        std::copy(image.begin(), image.end(), state->ImageBuffer.begin());
        state->ImageEnd = n - 1;
        return image;
    }
    // Presses Start and waits for the end; the outcome, or -1 when none came.
    int start(int timeoutMs = 60000)
    {
        QSignalSpy done(run.get(), &ProgrammingRun::finished);
        run->start();
        if (done.isEmpty() && !done.wait(timeoutMs))
            return -1;
        return int(done.first().first().value<RunOutcome>());
    }
    // One exchange of its own, with a short deadline: 1 or 0 its result, -1 when none came.
    int exchange(bool write, int address, int lengthField)
    {
        run->exchange().setDeadline(kShortDeadline);
        QSignalSpy done(&run->exchange(), &FrameExchange::finished);
        if (!run->exchange().ExchangeFrame(write, write ? 4 : 0, address, lengthField) ||
            !done.wait(30000) || done.count() != 1)
            return -1;
        return done.first().first().toBool() ? 1 : 0;
    }
    // The write frames' addresses as the device received them.
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
    std::unique_ptr<ProgrammingRun> run;
};

const Box kWriteFailedBox{"T10", 48, "T8"};

class TransferTest : public QObject {
    Q_OBJECT
private slots:
    void wireVectors_data()
    {
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("lengthField");
        QTest::addColumn<QString>("image");   // in hex, placed at `address`
        QTest::addColumn<QString>("crossed"); // request and answer in hex, a blank between
        const QString n = "000102030405060708090a0b0c0d0e0f";
        QTest::newRow("probe") << false << 4 << 0 << QString() << "0000040004 ffff";
        QTest::newRow("00..0F at 0x10") << true << 0x10 << 15 << n << "cf001000" + n + "57 ae";
    }

    void wireVectors()
    {
        QFETCH(bool, write);
        QFETCH(int, address);
        QFETCH(int, lengthField);
        QFETCH(QString, image);
        QFETCH(QString, crossed);
        Station b;
        const QByteArray bytes = QByteArray::fromHex(image.toLatin1());
        std::copy(bytes.begin(), bytes.end(), b.state->ImageBuffer.begin() + address);
        QCOMPARE(b.exchange(write, address, lengthField), 1);
        QCOMPARE(test::requestsHex(*b.sim),
                 QList<QByteArray>{crossed.section(' ', 0, 0).toLatin1()});
        QCOMPARE(b.state->ComFrame.TxText.toHex() + ' ' + b.state->ComFrame.RxText.toHex(),
                 crossed.toLatin1());
        QCOMPARE(b.view.lamps, QStringLiteral("TR"));
    }

    void attempts_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("write");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("tries"); // of the last attempt set
        QTest::addColumn<int>("waits"); // whole deadlines waited without an answer
        QTest::addColumn<QString>("lamps");
        QTest::newRow("third attempt") << 1 << false << 1 << 3 << 2 << "TTTR";
        QTest::newRow("no answer after five attempts") << 2 << true << 0 << 5 << 5 << "TTTTTE";
        QTest::newRow("wrong read checksum, no retry") << 3 << false << 0 << 1 << 0 << "TR";
        QTest::newRow("rejected ack resends the frame") << 4 << true << 1 << 1 << 0 << "TRTR";
        QTest::newRow("endless rejection gives up") << 5 << true << 0 << 1 << 0 << "TRTRTRTRTRE";
        // A waiting byte would be taken for a wrong acknowledgement.
        QTest::newRow("stale bytes discarded") << 6 << true << 1 << 1 << 0 << "TR";
        QTest::newRow("closed port sends nothing") << 7 << true << 0 << 0 << 0 << "";
    }

    void attempts()
    {
        QFETCH(int, fault);
        QFETCH(bool, write);
        QFETCH(int, result);
        QFETCH(int, tries);
        QFETCH(int, waits);
        QFETCH(QString, lamps);
        SimOptions o;
        o.ignoreFirst = fault == 1 ? 2 : 0;
        o.silent = fault == 2;
        o.badReadChecksum = fault == 3;
        o.badAckFirst = fault == 4 ? 1 : 0;
        o.badAckAlways = fault == 5;
        Station b(o);
        b.state->ImageBuffer[0x40] = 0x12;
        if (fault == 6)
            b.sim->inject({0x9F, 0x00});
        QTRY_COMPARE(b.line.bytesWaiting(), fault == 6 ? 2 : 0);
        if (fault == 7)
            b.line.close();
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(b.exchange(write, write ? 0x40 : 4, write ? 15 : 0), result);
        QVERIFY(clock.elapsed() >= waits * kShortDeadline.count() - 5);
        QTest::qWait(int(kShortDeadline.count()) * 2); // a late retry would show up by now
        const int sent = int(lamps.count('T'));
        QCOMPARE(b.sim->stats().requests, sent);
        QCOMPARE(test::requestsHex(*b.sim),
                 QList<QByteArray>(sent, test::requestsHex(*b.sim).value(0))); // the same frame
        QCOMPARE(b.run->exchange().attemptsMade(), sent);
        QCOMPARE(int(b.state->ComFrame.Tries), tries);
        QCOMPARE(b.view.lamps, lamps);
    }

    void deadlineIsCheckedBeforeByteCount()
    {
        Station b;
        b.run->exchange().setDeadline(kShortDeadline);
        QSignalSpy done(&b.run->exchange(), &FrameExchange::finished);
        QVERIFY(b.run->exchange().ExchangeFrame(false, 0, 4, 0));
        // The first wake-up sees both the answer and the passed deadline: the deadline wins.
        QVERIFY(b.sim->waitForRequests(1, std::chrono::seconds(5)));
        QThread::msleep(kShortDeadline.count() + 50);
        QVERIFY(done.wait(5000));
        QCOMPARE(done.first().first().toBool(), true);
        QCOMPARE(b.run->exchange().attemptsMade(), 2);
        QCOMPARE(b.sim->stats().requests, 2);
    }

    void framePlans_data()
    {
        QTest::addColumn<int>("imageEnd");
        for (int end : {0, 15, 31, 33, 65535})
            QTest::addRow("ImageEnd %d", end) << end;
    }

    void framePlans()
    {
        QFETCH(int, imageEnd);
        QList<int> addresses; // one frame per 16 bytes; progress counts bytes, then back to 0
        QList<double> progress{0};
        for (int a = 0; a <= imageEnd; a += 16) {
            addresses << a;
            progress << qMin(a + 16, imageEnd + 1);
        }
        progress << 0;
        Station s;
        const QByteArray image = s.loadImage(imageEnd + 1);
        QCOMPARE(s.start(), int(RunOutcome::Success));
        QCOMPARE(s.writeAddresses(), addresses);
        const QList<QByteArray> log = test::requestsHex(*s.sim);
        QCOMPARE(log.first(), QByteArray("0000040004")); // the probe first, then 21-byte frames
        for (const QByteArray &frame : log.mid(1))
            QCOMPARE(frame.size(), 42);
        QCOMPARE(s.view.values, progress);
        QCOMPARE(s.view.progressMax, double(imageEnd + 1));
        QCOMPARE(s.state->ProgressCount, imageEnd + 1);
        QCOMPARE(s.view.calls.first(), QStringLiteral("disable"));
        QCOMPARE(s.view.withoutLamps().mid(s.view.withoutLamps().size() - 2),
                 (QStringList{"enable", "value 0"}));
        QCOMPARE(s.prompter.boxes, (QList<Box>{{"T19", 64, "T18"}}));
        QVERIFY(test::toBytes(s.sim->eeprom()) == test::expectedEeprom(image));
        QVERIFY(s.line.isOpen()); // the port stays open after a run
        if (imageEnd == 33) {     // a second Start probes and writes everything again
            QCOMPARE(s.start(), int(RunOutcome::Success));
            QCOMPARE(test::requestsHex(*s.sim), log + log);
        }
    }

    // With the real one-second deadline: five attempts per frame before giving up.
    void failures_data()
    {
        QTest::addColumn<int>("answered"); // requests the device answers; -1: no port at all
        QTest::addColumn<int>("outcome");
        QTest::addColumn<Box>("box");
        QTest::addColumn<QList<int>>("writes");
        QTest::addColumn<QList<double>>("progress");
        QTest::newRow("port cannot be opened")
            << -1 << int(RunOutcome::PortFailed) << Box{"Communication failure", 48, kAppTitle}
            << QList<int>{} << QList<double>{};
        QTest::newRow("probe fails") << 0 << int(RunOutcome::ProbeFailed) << Box{"T9", 48, "T8"}
                                     << QList<int>{} << QList<double>{0};
        QTest::newRow("second frame fails")
            << 2 << int(RunOutcome::WriteFailed) << kWriteFailedBox
            << QList<int>{0, 16, 16, 16, 16, 16} << QList<double>{0, 16, 0};
    }

    void failures()
    {
        QFETCH(int, answered);
        QFETCH(int, outcome);
        QFETCH(Box, box);
        QFETCH(QList<int>, writes);
        QFETCH(QList<double>, progress);
        SimOptions o;
        o.silentAfter = answered;
        Station s(o, answered >= 0);
        s.loadImage(64);
        QCOMPARE(s.run->exchange().deadline(), std::chrono::milliseconds(1000));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(s.start(), outcome);
        QVERIFY(answered < 0 || clock.elapsed() >= 4950);
        QCOMPARE(s.prompter.boxes, QList<Box>{box});
        QCOMPARE(s.writeAddresses(), writes);
        QCOMPARE(s.sim->stats().requests, answered < 0 ? 0 : answered + 5);
        QCOMPARE(s.view.values, progress);
        QCOMPARE(s.state->ProgressCount, qMax(answered - 1, 0) * 16);
        // Unlocked at the end; never locked when the port is not there.
        QCOMPARE(s.view.calls.filter("able"),
                 answered < 0 ? QStringList() : QStringList({"disable", "enable"}));
        QCOMPARE(s.view.lamps.endsWith('E'), answered >= 0);
    }

    // A stop request lets the exchange under way end and sends nothing after it.
    void stopOnRequest_data()
    {
        QTest::addColumn<int>("stopAt"); // exchanges ended when the request comes; 0: probe out
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QList<int>>("writes");
        QTest::newRow("during the probe: no write frame")
            << 0 << int(RunOutcome::Interrupted) << QList<int>{};
        QTest::newRow("during frame 1: no frame 2")
            << 1 << int(RunOutcome::Interrupted) << QList<int>{0};
        QTest::newRow("during the last frame: the image is whole")
            << 4 << int(RunOutcome::Success) << QList<int>{0, 16, 32, 48};
    }
    void stopOnRequest()
    {
        QFETCH(int, stopAt);
        QFETCH(int, outcome);
        QFETCH(QList<int>, writes);
        SimOptions o;
        o.ignoreFirst = stopAt == 0 ? 1 : 0; // the probe waits a second for its second attempt
        Station s(o);
        const QByteArray image = s.loadImage(64);
        int ended = 0;
        QObject::connect(&s.run->exchange(), &FrameExchange::finished, [&] {
            if (++ended == stopAt)
                s.run->requestStop(); // after the run sent its next frame
        });
        if (stopAt == 0)
            QTimer::singleShot(100, [&] { s.run->requestStop(); });
        QCOMPARE(s.start(), outcome);
        QCOMPARE(s.writeAddresses(), writes);
        QCOMPARE(s.state->ProgressCount, int(writes.size()) * 16);
        QVERIFY(test::toBytes(s.sim->eeprom()).left(int(writes.size()) * 16) ==
                image.left(int(writes.size()) * 16));
        const Box stopped{"Programming interrupted: the device holds part of the image.", 48, "T8"};
        const Box done{"T19", 64, "T18"};
        QCOMPARE(s.prompter.boxes,
                 QList<Box>{outcome == int(RunOutcome::Success) ? done : stopped});
        QCOMPARE(s.view.calls.filter("able"), QStringList({"disable", "enable"}));
    }

    void hangUpMidRun()
    {
        SimOptions o;
        o.hangUpAfter = 10;
        o.baud = 19200; // a real line's pace, so the run is mid-way when the device goes
        Station s(o);
        s.loadImage(4096);
        QElapsedTimer clock;
        clock.start();
        const std::clock_t cpu0 = std::clock();
        QCOMPARE(s.start(15000), int(RunOutcome::WriteFailed));
        const double cpuMs = double(std::clock() - cpu0) * 1000 / CLOCKS_PER_SEC;
        QVERIFY2(clock.elapsed() < 4000, "the lost line was not noticed");
        QVERIFY2(cpuMs < 0.5 * double(clock.elapsed()), "busy waiting");
        QCOMPARE(s.prompter.boxes, (QList<Box>{kWriteFailedBox}));
        QCOMPARE(s.state->ProgressCount, 8 * 16);
        QTRY_VERIFY(!s.line.isOpen());
    }

    void runDestroyedMidWait()
    {
        SimOptions o;
        o.silent = true;
        Station s(o);
        s.run->start();
        QVERIFY(s.sim->waitForRequests(1, std::chrono::seconds(5)));
        s.run.reset();      // the window closed while the probe waits
        QTest::qWait(1300); // past the attempt's deadline: nothing may fire into the dead run
        QVERIFY(s.prompter.boxes.isEmpty());
        QCOMPARE(s.sim->stats().requests, 1);
        QCOMPARE(s.view.withoutLamps(), QStringList{"disable"});
    }
};

QTEST_GUILESS_MAIN(TransferTest)
#include "tst_transfer.moc"
