// The simulated device on its own, for what the product's tests rely on and do not see
// themselves: resynchronising on junk, the read checksum it spoils, the program.
#include "serial/SerialLine.h"

#include "Fixtures.h"
#include "SimulatedDevice.h"

#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace nuvora;

// Sends the bytes, then collects whatever comes back until the line has been quiet a while.
static QByteArray ask(SerialLine &line, const QByteArray &bytes)
{
    QSignalSpy spy(&line, &SerialLine::readyRead);
    if (!line.write(bytes))
        return "write failed";
    while (spy.wait(300)) {
    }
    return line.readAll();
}

class DeviceSimulatorTest : public QObject {
    Q_OBJECT
private slots:
    // Each frame sent twice (in hex); the two answers, and the requests the device heard even
    // where it did not answer.
    void answers()
    {
        const QString p = "0000040004";
        for (const auto &[badReadChecksum, sent, answers, requests] :
             {std::tuple{false, "5a13ff" + p, "ffff ffff", 2}, // garbage skipped
              {false, "cf" + p, "ffff ffff", 2},               // write-looking byte skipped
              {false, QString("0000040005"), " ", 0},          // wrong checksum ignored
              {true, p, "ff00 ff00", 2}}) { // a bad checksum in every read answer
            devsim::SimOptions o;
            o.badReadChecksum = badReadChecksum;
            o.logFrames = 1; // of the two requests only the latest is kept
            auto sim = test::startDevice(o);
            SerialLine line;
            QVERIFY(line.open(test::devicePath(*sim)));
            const QByteArray frame = QByteArray::fromHex(sent.toLatin1());
            const QByteArray first = ask(line, frame).toHex();
            QCOMPARE(first + ' ' + ask(line, frame).toHex(), QByteArray(answers));
            QCOMPARE(sim->stats().requests, requests);
            QCOMPARE(sim->requestLog().size(), std::size_t(requests > 0));
        }
    }

    void programLinksAndDumpsOnSignal()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("ports/COM7"); // its folder made on the way
        const QString dump = dir.filePath("eeprom.bin");
        QProcess sim;
        sim.start(test::programPath("nuvora-devsim"), {"--link", link, "--dump", dump});
        QVERIFY2(sim.waitForReadyRead(5000), qPrintable(sim.errorString()));
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString::fromLocal8Bit(sim.readLine()).trimmed());
        {
            SerialLine line;
            QVERIFY(line.open(link));
            // Sixteen 0x42 at 0x0020; the checksum is 0xEF + 16 * 0x42, 0x0F modulo 256.
            const QByteArray frame = QByteArray::fromHex("cf002000") + QByteArray(16, 'B') + '\x0f';
            QCOMPARE(ask(line, frame).toHex(), QByteArray("1e"));
        }
        ::kill(pid_t(sim.processId()), SIGINT);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(sim.readAllStandardError().contains("1 requests"));
        const QByteArray eeprom = test::readFile(dump);
        QCOMPARE(eeprom.mid(0x20, 16), QByteArray(16, char(0x42)));
        QCOMPARE(eeprom.count(char(0xFF)), 65536 - 16);
        QVERIFY(!QFileInfo(link).isSymLink()); // the alias goes with the device
    }
};

QTEST_GUILESS_MAIN(DeviceSimulatorTest)
#include "tst_devsim.moc"
