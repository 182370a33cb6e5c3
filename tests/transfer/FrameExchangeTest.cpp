#include "serial/SerialLine.h"
#include "state/AppState.h"
#include "transfer/FrameExchange.h"

#include "RecordingRunView.h"
#include "SimulatedDevice.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using namespace nuvora;
using devsim::SimOptions;

namespace {

constexpr std::chrono::milliseconds kShortDeadline{150};
constexpr int kTx = int(LampState::TxOn);
constexpr int kRx = int(LampState::RxOn);
constexpr int kErr = int(LampState::ErrOn);

// One exchange against the simulated device, everything real but the deadline.
struct Bench {
    explicit Bench(const SimOptions &options = {})
        : sim(test::startDevice(options)), state(std::make_unique<AppState>()),
          exchange(*state, line, view)
    {
        state->ImageBuffer.fill(0xFF);
        exchange.setDeadline(kShortDeadline);
        if (!line.open(test::devicePath(*sim)))
            qFatal("cannot open the simulated device: %s", qPrintable(line.failureText()));
    }
    // Runs one exchange to its end; -1 when no result came at all.
    int run(bool write, int command, int address, int lengthField)
    {
        QSignalSpy done(&exchange, &FrameExchange::finished);
        if (!exchange.ExchangeFrame(write, std::uint8_t(command), address,
                                    std::uint8_t(lengthField)))
            return -2;
        if (!done.wait(30000) || done.count() != 1)
            return -1;
        return done.first().first().toBool() ? 1 : 0;
    }
    QByteArray lastRequest() const
    {
        const auto log = sim->requestLog();
        return log.empty() ? QByteArray() : test::toBytes(log.back());
    }

    std::unique_ptr<devsim::DeviceSimulator> sim;
    std::unique_ptr<AppState> state;
    SerialLine line;
    test::RecordingRunView view;
    FrameExchange exchange;
};

} // namespace

class FrameExchangeTest : public QObject {
    Q_OBJECT
private slots:
    void wireVectors_data();
    void wireVectors();
    void answerOnThirdAttempt();
    void noAnswerLightsErrorAfterFiveAttempts();
    void wrongReadChecksumIsNotRetried();
    void staleBytesAreDiscarded();
    void staleBytesAfterEveryAnswer();
    void closedPortSendsNothing();
    void rejectedAckResendsSameFrame();
    void endlessRejectionGivesUp();
    void deadlineIsCheckedBeforeByteCount();
    void hangUpFailsAtOnce();
    void secondStartWhileBusyIsRefused();
};

void FrameExchangeTest::wireVectors_data()
{
    QTest::addColumn<bool>("write");
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("lengthField");
    QTest::addColumn<QByteArray>("image");   // placed at `address`
    QTest::addColumn<QByteArray>("request"); // as it crosses the line
    QTest::addColumn<QByteArray>("answer");  // as the exchange read it
    const QByteArray counting = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
    QTest::newRow("probe") << false << 0 << 4 << 0 << QByteArray()
                           << QByteArray::fromHex("0000040004") << QByteArray::fromHex("ffff");
    QTest::newRow("write 00..0F at 0x0010")
        << true << 4 << 0x10 << 15 << counting
        << QByteArray::fromHex("cf001000000102030405060708090a0b0c0d0e0f57")
        << QByteArray::fromHex("ae");
    QTest::newRow("sixteen FF at 0x0010")
        << true << 4 << 0x10 << 15 << QByteArray(16, char(0xFF))
        << QByteArray::fromHex("cf001000ffffffffffffffffffffffffffffffffcf")
        << QByteArray::fromHex("9e");
    QTest::newRow("command 4 with length field 1 still carries 16 bytes")
        << true << 4 << 0x20 << 1 << counting
        << QByteArray::fromHex("cf002000") + counting + QByteArray::fromHex("67")
        << QByteArray::fromHex("ce");
    QTest::newRow("last page of the EEPROM")
        << true << 4 << 0xFFF0 << 15 << QByteArray(16, char(0x01))
        << QByteArray::fromHex("cf00f0ff") + QByteArray(16, char(0x01)) + QByteArray::fromHex("ce")
        << QByteArray::fromHex("9c");
}

void FrameExchangeTest::wireVectors()
{
    QFETCH(bool, write);
    QFETCH(int, command);
    QFETCH(int, address);
    QFETCH(int, lengthField);
    QFETCH(QByteArray, image);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    Bench b;
    for (int i = 0; i < image.size(); ++i)
        b.state->ImageBuffer[std::size_t(address + i)] = std::uint8_t(image.at(i));
    QCOMPARE(b.run(write, command, address, lengthField), 1);
    QCOMPARE(b.lastRequest().toHex(), request.toHex());
    QCOMPARE(b.state->ComFrame.TxText.toHex(), request.toHex());
    QCOMPARE(b.state->ComFrame.RxText.toHex(), answer.toHex());
    QCOMPARE(b.sim->stats().requests, 1);
    QCOMPARE(b.view.lamps, (QList<int>{kTx, kRx}));
}

void FrameExchangeTest::answerOnThirdAttempt()
{
    SimOptions o;
    o.ignoreFirst = 2;
    Bench b(o);
    QCOMPARE(b.run(false, 0, 4, 0), 1);
    QCOMPARE(b.sim->stats().requests, 3);
    QCOMPARE(b.state->ComFrame.Tries, std::uint8_t(3));
    QCOMPARE(b.view.lamps, (QList<int>{kTx, kTx, kTx, kRx}));
}

void FrameExchangeTest::noAnswerLightsErrorAfterFiveAttempts()
{
    SimOptions o;
    o.silent = true;
    Bench b(o);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(b.run(true, 4, 0, 15), 0);
    // Five whole waits, not fewer.
    QVERIFY(clock.elapsed() >= 5 * kShortDeadline.count() - 5);
    QCOMPARE(b.sim->stats().requests, 5);
    QCOMPARE(b.state->ComFrame.Tries, std::uint8_t(5));
    QCOMPARE(b.view.lamps, (QList<int>{kTx, kTx, kTx, kTx, kTx, kErr}));
}

void FrameExchangeTest::wrongReadChecksumIsNotRetried()
{
    SimOptions o;
    o.badReadChecksum = true;
    Bench b(o);
    QCOMPARE(b.run(false, 0, 4, 0), 0);
    QTest::qWait(int(kShortDeadline.count()) * 2); // a retry would show up by now
    QCOMPARE(b.sim->stats().requests, 1);
    QCOMPARE(b.view.lamps, (QList<int>{kTx, kRx}));
}

void FrameExchangeTest::staleBytesAreDiscarded()
{
    Bench b;
    // A byte that would be taken for a wrong acknowledgement, waiting before the request.
    b.sim->inject({0x9F, 0x00});
    QTRY_COMPARE(b.line.bytesWaiting(), 2);
    QCOMPARE(b.run(true, 4, 0x10, 15), 1);
    QCOMPARE(b.state->ComFrame.RxText.toHex(), QByteArray("9e"));
    QCOMPARE(b.sim->stats().requests, 1); // no second attempt set
}

void FrameExchangeTest::staleBytesAfterEveryAnswer()
{
    SimOptions o;
    o.staleBytes = 4;
    Bench b(o);
    QCOMPARE(b.run(false, 0, 4, 0), 1);
    for (int a = 0; a < 8 * 16; a += 16)
        QCOMPARE(b.run(true, 4, a, 15), 1);
    QCOMPARE(b.sim->stats().requests, 9);
}

void FrameExchangeTest::closedPortSendsNothing()
{
    Bench b;
    b.line.close();
    QCOMPARE(b.run(true, 4, 0, 15), 0);
    QTest::qWait(50);
    QCOMPARE(b.sim->stats().requests, 0);
    QVERIFY(b.view.lamps.isEmpty());
}

void FrameExchangeTest::rejectedAckResendsSameFrame()
{
    SimOptions o;
    o.badAckFirst = 1;
    Bench b(o);
    b.state->ImageBuffer[0x40] = 0x12;
    QCOMPARE(b.run(true, 4, 0x40, 15), 1);
    const auto log = b.sim->requestLog();
    QCOMPARE(int(log.size()), 2);
    QCOMPARE(test::toBytes(log[1]).toHex(), test::toBytes(log[0]).toHex());
    QCOMPARE(b.exchange.attemptsMade(), 2);
    QCOMPARE(b.state->ComFrame.Tries, std::uint8_t(1)); // a fresh set began
    QCOMPARE(b.view.lamps, (QList<int>{kTx, kRx, kTx, kRx}));
}

void FrameExchangeTest::endlessRejectionGivesUp()
{
    SimOptions o;
    o.badAckAlways = true;
    Bench b(o);
    QCOMPARE(b.run(true, 4, 0, 15), 0);
    QCOMPARE(b.sim->stats().requests, FrameExchange::kMaxAttemptSets);
    QCOMPARE(b.view.lamps.last(), kErr);
}

void FrameExchangeTest::deadlineIsCheckedBeforeByteCount()
{
    Bench b;
    QSignalSpy done(&b.exchange, &FrameExchange::finished);
    QVERIFY(b.exchange.ExchangeFrame(false, 0, 4, 0));
    // Keep the event loop away until the answer is in and the deadline has passed: the first
    // wake-up sees both, and the deadline wins.
    QVERIFY(b.sim->waitForRequests(1, std::chrono::seconds(5)));
    QThread::msleep(kShortDeadline.count() + 50);
    QVERIFY(done.wait(5000));
    QCOMPARE(done.first().first().toBool(), true);
    QCOMPARE(b.exchange.attemptsMade(), 2);
    QCOMPARE(b.sim->stats().requests, 2);
}

void FrameExchangeTest::hangUpFailsAtOnce()
{
    SimOptions o;
    o.silent = true;
    Bench b(o);
    b.exchange.setDeadline(std::chrono::seconds(5));
    QSignalSpy done(&b.exchange, &FrameExchange::finished);
    QVERIFY(b.exchange.ExchangeFrame(true, 4, 0, 15));
    QVERIFY(b.sim->waitForRequests(1, std::chrono::seconds(5)));
    QElapsedTimer clock;
    clock.start();
    b.sim->hangUp();
    QVERIFY(done.wait(5000));
    QCOMPARE(done.first().first().toBool(), false);
    QVERIFY2(clock.elapsed() < 3000, "waited for the deadline instead of failing at once");
    QCOMPARE(b.sim->stats().requests, 1);
    QCOMPARE(b.view.lamps.last(), kErr);
    QTRY_VERIFY(!b.line.isOpen());
}

void FrameExchangeTest::secondStartWhileBusyIsRefused()
{
    SimOptions o;
    o.silent = true;
    Bench b(o);
    QSignalSpy done(&b.exchange, &FrameExchange::finished);
    QVERIFY(b.exchange.ExchangeFrame(false, 0, 4, 0));
    QVERIFY(b.exchange.busy());
    QVERIFY(!b.exchange.ExchangeFrame(true, 4, 0, 15));
    QVERIFY(done.wait(5000));
    QCOMPARE(done.count(), 1);
    QCOMPARE(b.sim->stats().writes, 0);
}

QTEST_GUILESS_MAIN(FrameExchangeTest)
#include "FrameExchangeTest.moc"
