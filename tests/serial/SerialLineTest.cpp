#include "serial/PortControl.h"
#include "serial/SerialLine.h"

#include "RecordingPrompter.h"
#include "SimulatedDevice.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace nuvora;
using test::Box;

namespace {
const QString kComBox = QStringLiteral("Com Not Avaible!Please select a NEW com");

// Waits until the line has taken in at least `count` bytes.
bool waitForBytes(SerialLine &line, qint64 count)
{
    QSignalSpy spy(&line, &SerialLine::readyRead);
    for (int i = 0; i < 50 && line.bytesWaiting() < count; ++i)
        spy.wait(100);
    return line.bytesWaiting() >= count;
}
} // namespace

class SerialLineTest : public QObject {
    Q_OBJECT
private slots:
    void opensSimulatorAndCarriesBytes();
    void openFailures_data();
    void openFailures();
    void busyPortIsToldApartFromPermission();
    void staleInputIsDroppedOnOpen();
    void hangUpClosesThePort();
    void setComSameNumberReopens();
    void openComOnOpenPortIsNoOp();
    void setComMissingPortShowsBoxOnce();
    void setComBusyPortSaysWhy();
};

void SerialLineTest::opensSimulatorAndCarriesBytes()
{
    auto sim = test::startDevice();
    SerialLine line;
    QVERIFY2(line.open(test::devicePath(*sim)), qPrintable(line.failureText()));
    QCOMPARE(line.failure(), OpenFailure::None);
    QVERIFY(line.write(QByteArray::fromHex("0000040004")));
    QVERIFY(waitForBytes(line, 2));
    QCOMPARE(line.readAll(), QByteArray::fromHex("ffff"));
    QCOMPARE(line.bytesWaiting(), 0);
    line.close();
    QVERIFY(!line.isOpen());
    QVERIFY(!line.write("x"));
}

void SerialLineTest::openFailures_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("failure");
    QTest::newRow("no such device") << "/dev/nuvora-no-such-tty" << int(OpenFailure::NoSuchDevice);
    QTest::newRow("no device for number") << "" << int(OpenFailure::NoSuchDevice);
    QTest::newRow("not a terminal") << "/dev/null" << int(OpenFailure::Other);
}

void SerialLineTest::openFailures()
{
    QFETCH(QString, device);
    QFETCH(int, failure);
    SerialLine line;
    QVERIFY(!line.open(device));
    QVERIFY(!line.isOpen());
    QCOMPARE(int(line.failure()), failure);
    QVERIFY(!line.failureText().isEmpty());
    if (!device.isEmpty())
        QVERIFY2(line.failureText().contains(device), qPrintable(line.failureText()));
}

void SerialLineTest::busyPortIsToldApartFromPermission()
{
    auto sim = test::startDevice();
    SerialLine first, second;
    QVERIFY(first.open(test::devicePath(*sim)));
    QVERIFY(!second.open(test::devicePath(*sim)));
    QCOMPARE(second.failure(), OpenFailure::Busy);
    QVERIFY2(second.failureText().contains("busy"), qPrintable(second.failureText()));
    QVERIFY(!second.failureText().contains("dialout"));
    first.close();
    QVERIFY2(second.open(test::devicePath(*sim)), qPrintable(second.failureText()));
}

void SerialLineTest::staleInputIsDroppedOnOpen()
{
    auto sim = test::startDevice();
    sim->inject({1, 2, 3, 4});
    QTest::qWait(50); // the bytes reach the terminal before anyone opens it
    SerialLine line;
    QVERIFY(line.open(test::devicePath(*sim)));
    QSignalSpy spy(&line, &SerialLine::readyRead);
    spy.wait(200);
    QCOMPARE(line.bytesWaiting(), 0);
}

void SerialLineTest::hangUpClosesThePort()
{
    auto sim = test::startDevice();
    SerialLine line;
    QVERIFY(line.open(test::devicePath(*sim)));
    QSignalSpy lost(&line, &SerialLine::lineLost);
    sim->hangUp();
    QVERIFY(lost.wait(3000));
    QVERIFY(!line.isOpen());
    QTest::qWait(50); // the queued close has run; a storm of errors must not re-report
    QCOMPARE(lost.count(), 1);
    QVERIFY(!line.write("x"));
}

void SerialLineTest::setComSameNumberReopens()
{
    auto sim = test::startDevice();
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("ports"));
    QVERIFY(QFile::link(test::devicePath(*sim), folder.filePath("ports/COM7")));
    SerialLine line;
    test::RecordingPrompter prompter;
    PortControl port(line, prompter, folder.path());
    port.SetCom(7);
    QVERIFY(line.isOpen());
    sim->inject({9, 9, 9});
    QVERIFY(waitForBytes(line, 3));
    // Closing and opening again drops what was waiting; a no-op would keep it.
    port.SetCom(7);
    QVERIFY(line.isOpen());
    QCOMPARE(line.bytesWaiting(), 0);
    QVERIFY(prompter.boxes.isEmpty());
}

void SerialLineTest::openComOnOpenPortIsNoOp()
{
    auto sim = test::startDevice();
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("ports"));
    QVERIFY(QFile::link(test::devicePath(*sim), folder.filePath("ports/COM6")));
    SerialLine line;
    test::RecordingPrompter prompter;
    PortControl port(line, prompter, folder.path());
    std::int16_t number = 6;
    QCOMPARE(port.OpenCom(number), std::int16_t(0));
    sim->inject({7, 7});
    QVERIFY(waitForBytes(line, 2));
    // Even a number that has no port: the open port is simply kept.
    std::int16_t other = 3;
    QCOMPARE(port.OpenCom(other), std::int16_t(0));
    QCOMPARE(line.bytesWaiting(), 2);
    QVERIFY(prompter.boxes.isEmpty());
}

void SerialLineTest::setComMissingPortShowsBoxOnce()
{
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("ports"));
    QVERIFY(QFile::link(folder.filePath("gone"), folder.filePath("ports/COM3")));
    SerialLine line;
    test::RecordingPrompter prompter;
    PortControl port(line, prompter, folder.path());
    port.SetCom(3);
    QVERIFY(!line.isOpen());
    QCOMPARE(prompter.boxes.size(), 1);
    QCOMPARE(prompter.boxes.first(), (Box{kComBox, 16, QStringLiteral("Error Com")}));
    // The following Start finds no port either, and says nothing itself.
    std::int16_t number = 3;
    QCOMPARE(port.OpenCom(number), std::int16_t(-1));
    QCOMPARE(prompter.boxes.size(), 1);
    QVERIFY(!port.lastFailure().isEmpty());
}

void SerialLineTest::setComBusyPortSaysWhy()
{
    auto sim = test::startDevice();
    QTemporaryDir folder;
    QDir().mkpath(folder.filePath("ports"));
    QVERIFY(QFile::link(test::devicePath(*sim), folder.filePath("ports/COM8")));
    SerialLine other;
    QVERIFY(other.open(test::devicePath(*sim)));
    SerialLine line;
    test::RecordingPrompter prompter;
    PortControl port(line, prompter, folder.path());
    port.SetCom(8);
    QCOMPARE(prompter.boxes.size(), 1);
    const QStringList lines = prompter.boxes.first().text.split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.first(), kComBox);
    QVERIFY2(lines.last().contains("busy"), qPrintable(lines.last()));
    QCOMPARE(prompter.boxes.first().title, QStringLiteral("Error Com"));
}

QTEST_GUILESS_MAIN(SerialLineTest)
#include "SerialLineTest.moc"
