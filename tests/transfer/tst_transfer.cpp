#include "Station.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <ctime>

using namespace nuvora;
using devsim::SimOptions;
using test::Box;
using Station = test::Station;

constexpr std::chrono::milliseconds kShortDeadline{150};

// One exchange of its own, with a short deadline: 1 or 0 its result, -1 when none came.
static int exchange(Station &s, bool write, int address, int lengthField)
{
    s.run->exchange().setDeadline(kShortDeadline);
    QSignalSpy done(&s.run->exchange(), &FrameExchange::finished);
    if (!s.run->exchange().ExchangeFrame(write, write ? 4 : 0, address, lengthField) ||
        !done.wait(30000) || done.count() != 1)
        return -1;
    return done.first().first().toBool() ? 1 : 0;
}

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
        QCOMPARE(exchange(b, write, address, lengthField), 1);
        QCOMPARE(test::requestsHex(*b.sim),
                 QList<QByteArray>{crossed.section(' ', 0, 0).toLatin1()});
        QCOMPARE(b.state->ComFrame.TxText.toHex() + ' ' + b.state->ComFrame.RxText.toHex(),
                 crossed.toLatin1());
        QCOMPARE(b.view.lamps, QStringLiteral("TR"));
    }

    // The device's own faults are crossed with the moments of a run in tst_faultmatrix; these
    // two are the host's side of one exchange.
    void attempts_data()
    {
        QTest::addColumn<bool>("stale"); // false: the port is closed
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("lamps");
        // A waiting byte would be taken for a wrong acknowledgement.
        QTest::newRow("stale bytes discarded") << true << 1 << "TR";
        QTest::newRow("closed port sends nothing") << false << 0 << "";
    }

    void attempts()
    {
        QFETCH(bool, stale);
        QFETCH(int, result);
        QFETCH(QString, lamps);
        Station b;
        b.state->ImageBuffer[0x40] = 0x12;
        if (stale)
            b.sim->inject({0x9F, 0x00});
        QTRY_COMPARE(b.line.bytesWaiting(), stale ? 2 : 0);
        if (!stale)
            b.line.close();
        QCOMPARE(exchange(b, true, 0x40, 15), result);
        QTest::qWait(int(kShortDeadline.count()) * 2); // a late retry would show up by now
        QCOMPARE(b.sim->stats().requests, int(stale));
        QCOMPARE(b.run->exchange().attemptsMade(), int(stale));
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
        QCOMPARE(s.requestAddresses(), QList<int>{-1} + addresses);
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

    void portCannotBeOpened()
    {
        Station s({}, false);
        s.loadImage(64);
        QCOMPARE(s.start(), int(RunOutcome::PortFailed));
        QCOMPARE(s.prompter.boxes, (QList<Box>{{"Communication failure", 48, kAppTitle}}));
        QCOMPARE(s.sim->stats().requests, 0);
        QVERIFY(s.view.calls.isEmpty()); // never locked, bar untouched
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
        o.silentAfter = 9; // the probe and 8 frames answered; gone at the next request
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
