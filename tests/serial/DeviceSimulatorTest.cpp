// The simulated device on its own, driven over a raw terminal: what it answers, and how it
// recovers from garbage. The product's tests rely on it behaving like the device.
#include "SimulatedDevice.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace nuvora;
using devsim::SimOptions;

namespace {

constexpr int kWaitMs = 300;

// A bare client on the slave side of the terminal.
class RawClient {
public:
    explicit RawClient(const std::string &path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_fd, TCSANOW, &t);
        }
    }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    void send(const QByteArray &bytes) { QCOMPARE(::write(m_fd, bytes.data(), bytes.size()), bytes.size()); }
    // Everything that arrives until the line has been quiet for `quietMs`.
    QByteArray receive(int quietMs = kWaitMs)
    {
        QByteArray out;
        pollfd p{m_fd, POLLIN, 0};
        while (::poll(&p, 1, quietMs) > 0) {
            char buf[256];
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, static_cast<qsizetype>(n));
        }
        return out;
    }

private:
    int m_fd = -1;
};

QByteArray writeFrame(int address, const QByteArray &data)
{
    QByteArray f;
    f.append(char(0xCF)).append('\0').append(char(address & 0xFF)).append(char(address >> 8));
    f.append(data);
    int sum = 0;
    for (char c : f)
        sum += static_cast<std::uint8_t>(c);
    f.append(char(sum & 0xFF));
    return f;
}

const QByteArray kProbe = QByteArray::fromHex("0000040004");

} // namespace

class DeviceSimulatorTest : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
    void storesWritesAndReadsThemBack();
    void faultsCountRequests_data();
    void faultsCountRequests();
    void hangsUpAfterRequests();
    void programLinksAndDumpsOnSignal_data();
    void programLinksAndDumpsOnSignal();
    void programRefusesBadOptions_data();
    void programRefusesBadOptions();
};

namespace {
QString devsimProgram()
{
    const QString folder = qEnvironmentVariableIsSet("NUVORA_BIN_DIR")
                               ? qEnvironmentVariable("NUVORA_BIN_DIR")
                               : QCoreApplication::applicationDirPath() + QStringLiteral("/../bin");
    return folder + QStringLiteral("/nuvora-devsim");
}
} // namespace

void DeviceSimulatorTest::answers_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("requests");
    QTest::newRow("probe of an erased device") << kProbe << QByteArray::fromHex("ffff") << 1;
    QTest::newRow("read of four bytes")
        << QByteArray::fromHex("0300100013") << QByteArray::fromHex("fffffffffc") << 1;
    QTest::newRow("page write acknowledged twice its checksum")
        << writeFrame(0x10, QByteArray::fromHex("000102030405060708090a0b0c0d0e0f"))
        << QByteArray::fromHex("ae") << 1;
    QTest::newRow("garbage before a probe is skipped")
        << QByteArray::fromHex("5a13ff") + kProbe << QByteArray::fromHex("ffff") << 1;
    QTest::newRow("a write-looking byte before a probe")
        << QByteArray::fromHex("cf") + kProbe << QByteArray::fromHex("ffff") << 1;
    QTest::newRow("wrong checksum is ignored") << QByteArray::fromHex("0000040005") << QByteArray()
                                               << 0;
    QTest::newRow("two probes at once")
        << kProbe + kProbe << QByteArray::fromHex("ffffffff") << 2;
}

void DeviceSimulatorTest::answers()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answer);
    QFETCH(int, requests);
    auto sim = test::startDevice();
    RawClient client(sim->slavePath());
    QVERIFY(client.ok());
    client.send(sent);
    QCOMPARE(client.receive().toHex(), answer.toHex());
    QCOMPARE(sim->stats().requests, requests);
}

void DeviceSimulatorTest::storesWritesAndReadsThemBack()
{
    auto sim = test::startDevice();
    RawClient client(sim->slavePath());
    const QByteArray page = QByteArray::fromHex("1122334455667788990011223344556a");
    client.send(writeFrame(0xFFF0, page));
    QCOMPARE(client.receive().size(), 1);
    // Read 16 bytes back from 0xFFF0: length field 15.
    QByteArray read = QByteArray::fromHex("0f00f0ff");
    read.append(char((0x0F + 0xF0 + 0xFF) & 0xFF));
    client.send(read);
    const QByteArray answer = client.receive();
    QCOMPARE(answer.left(16).toHex(), page.toHex());
    int sum = 0;
    for (char c : page)
        sum += static_cast<std::uint8_t>(c);
    QCOMPARE(static_cast<std::uint8_t>(answer.at(16)), std::uint8_t(sum & 0xFF));
    const auto eeprom = test::toBytes(sim->eeprom());
    QCOMPARE(eeprom.size(), 65536);
    QCOMPARE(eeprom.mid(0xFFF0).toHex(), page.toHex());
    QCOMPARE(eeprom.left(0xFFF0), QByteArray(0xFFF0, char(0xFF)));
}

void DeviceSimulatorTest::faultsCountRequests_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("first");  // answer to the first request
    QTest::addColumn<QByteArray>("second"); // answer to the same request again
    const QByteArray w = writeFrame(0x10, QByteArray(16, char(0xFF)));
    QTest::newRow("silent") << 0 << kProbe << QByteArray() << QByteArray();
    QTest::newRow("ignore first") << 1 << kProbe << QByteArray() << QByteArray::fromHex("ffff");
    QTest::newRow("bad ack first") << 2 << w << QByteArray::fromHex("9f") << QByteArray::fromHex("9e");
    QTest::newRow("bad ack always") << 3 << w << QByteArray::fromHex("9f") << QByteArray::fromHex("9f");
    QTest::newRow("bad read checksum") << 4 << kProbe << QByteArray::fromHex("ff00")
                                       << QByteArray::fromHex("ff00");
    QTest::newRow("stale bytes") << 5 << kProbe << QByteArray::fromHex("ffff5a5a5a")
                                 << QByteArray::fromHex("ffff5a5a5a");
}

void DeviceSimulatorTest::faultsCountRequests()
{
    QFETCH(int, fault);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    SimOptions o;
    switch (fault) {
    case 0: o.silent = true; break;
    case 1: o.ignoreFirst = 1; break;
    case 2: o.badAckFirst = 1; break;
    case 3: o.badAckAlways = true; break;
    case 4: o.badReadChecksum = true; break;
    case 5: o.staleBytes = 3; break;
    }
    auto sim = test::startDevice(o);
    RawClient client(sim->slavePath());
    client.send(frame);
    QCOMPARE(client.receive().toHex(), first.toHex());
    client.send(frame);
    QCOMPARE(client.receive().toHex(), second.toHex());
    QCOMPARE(sim->stats().requests, 2); // heard even when it does not answer
}

void DeviceSimulatorTest::hangsUpAfterRequests()
{
    SimOptions o;
    o.hangUpAfter = 2;
    auto sim = test::startDevice(o);
    RawClient client(sim->slavePath());
    client.send(kProbe);
    QCOMPARE(client.receive().toHex(), QByteArray("ffff"));
    client.send(kProbe);
    client.receive();
    QTRY_VERIFY(sim->stats().hungUp);
}

void DeviceSimulatorTest::programLinksAndDumpsOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void DeviceSimulatorTest::programLinksAndDumpsOnSignal()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString link = dir.filePath("COM7");
    const QString dump = dir.filePath("eeprom.bin");
    QProcess sim;
    sim.start(devsimProgram(), {"--link", link, "--dump", dump});
    QVERIFY2(sim.waitForReadyRead(5000), qPrintable(sim.errorString()));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    {
        RawClient client(link.toStdString());
        QVERIFY(client.ok());
        client.send(writeFrame(0x20, QByteArray(16, char(0x42))));
        QCOMPARE(client.receive().size(), 1);
    }
    ::kill(pid_t(sim.processId()), signal);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(sim.readAllStandardError().contains("1 requests"));
    QFile f(dump);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray eeprom = f.readAll();
    QCOMPARE(eeprom.size(), 65536);
    QCOMPARE(eeprom.mid(0x20, 16), QByteArray(16, char(0x42)));
    QCOMPARE(eeprom.count(char(0xFF)), 65536 - 16);
    QVERIFY(!QFileInfo(link).isSymLink()); // the alias goes with the device
}

void DeviceSimulatorTest::programRefusesBadOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--fast"};
    QTest::newRow("count missing") << QStringList{"--ignore-first"};
    QTest::newRow("count not a number") << QStringList{"--stale", "many"};
    QTest::newRow("negative late") << QStringList{"--late-ms", "-5"};
    QTest::newRow("zero baud") << QStringList{"--baud", "0"};
}

void DeviceSimulatorTest::programRefusesBadOptions()
{
    QFETCH(QStringList, args);
    QProcess sim;
    sim.start(devsimProgram(), args);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardError().contains("--help"));
    QVERIFY(sim.readAllStandardOutput().isEmpty()); // no device path printed
}

QTEST_GUILESS_MAIN(DeviceSimulatorTest)
#include "DeviceSimulatorTest.moc"
