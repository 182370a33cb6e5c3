// The frame protocol's bytes, worked out by hand, without a line: what the tool sends, what the
// device reads from it, and which answers each side accepts.
#include "transfer/FrameProtocol.h"

#include <QTest>

using namespace nuvora::protocol;

static const std::uint8_t *raw(const QByteArray &bytes)
{
    return reinterpret_cast<const std::uint8_t *>(bytes.constData());
}

static QByteArray hex(const std::uint8_t *bytes, int size)
{
    return QByteArray(reinterpret_cast<const char *>(bytes), size).toHex();
}

class FrameProtocolTest : public QObject {
    Q_OBJECT
private slots:
    // A page (hex, empty for a read) and the length field asked for; the request in hex, and
    // the answer's length. Not a request: parsing the hex fails.
    void requests_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("lengthField");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("answerBytes"); // 0: not a request
        const QByteArray n = "000102030405060708090a0b0c0d0e0f", ff = QByteArray("ff").repeated(16);
        QTest::newRow("probe read at 4") << 4 << 0 << QByteArray() << QByteArray("0000040004") << 2;
        // 0x0F + 0xFF + 0xFF = 0x20D.
        QTest::newRow("read checksum wraps past 255")
            << 0xFFFF << 15 << QByteArray() << QByteArray("0f00ffff0d") << 17;
        // 0xCF + 0x78 (the sum of 00..0F) = 0x147.
        QTest::newRow("page write at 0, data in order")
            << 0 << 15 << n << "cf000000" + n + "47" << 1;
        // 0xCF + 0xF0 + 0xFF + 16 * 0xFF = 0x12AE.
        QTest::newRow("page write at FFF0, address low byte first")
            << 0xFFF0 << 15 << ff << "cf00f0ff" + ff + "ae" << 1;
        // 0xCF + 0x20 + 0x78 = 0x167: the length field is 15 whatever was asked.
        QTest::newRow("tail frame still carries the whole page")
            << 0x20 << 1 << n << "cf002000" + n + "67" << 1;
        QTest::newRow("not: byte 1 set") << 0 << 0 << QByteArray() << QByteArray("0001040005") << 0;
        QTest::newRow("not: checksum off by one")
            << 0 << 0 << QByteArray() << QByteArray("0000040005") << 0;
        QTest::newRow("not: write cut short")
            << 0 << 0 << QByteArray() << QByteArray("cf00100000") << 0;
    }
    void requests()
    {
        QFETCH(int, address);
        QFETCH(int, lengthField);
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, request);
        QFETCH(int, answerBytes);
        const QByteArray line = QByteArray::fromHex(request);
        const auto parsed = parseRequest(raw(line), std::size_t(line.size()));
        QCOMPARE(bool(parsed), answerBytes > 0);
        if (!parsed)
            return;
        const bool write = !page.isEmpty();
        const QByteArray bytes = QByteArray::fromHex(page);
        const auto at = std::uint16_t(address);
        const Request r =
            write ? writeRequest(kPageWriteCommand, at, std::uint8_t(lengthField), raw(bytes))
                  : readRequest(kReadCommand, at, std::uint8_t(lengthField));
        QCOMPARE(hex(r.bytes.data(), r.size), request);
        QCOMPARE(nuvora::protocol::answerBytes(write, r.lengthField), answerBytes);
        // The device reads the same fields back off the line.
        QCOMPARE(parsed->write, write);
        QCOMPARE(int(parsed->address), address);
        QCOMPARE(int(parsed->lengthField), write ? 15 : lengthField);
        QCOMPARE(int(parsed->checksum), int(raw(line)[line.size() - 1]));
        QCOMPARE(parsed->page ? hex(parsed->page, kPageBytes) : QByteArray(), page);
    }

    // A write's acknowledgement (length field -1) or a read's data and checksum.
    void answers_data()
    {
        QTest::addColumn<int>("lengthField");
        QTest::addColumn<int>("checksum"); // of a write request
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("ack twice the checksum, mod 256") << -1 << 0xCF << QByteArray("9e") << true;
        QTest::newRow("ack one above") << -1 << 0xCF << QByteArray("9f") << false;
        QTest::newRow("four bytes, sum wraps past 255")
            << 3 << 0 << QByteArray("fffffffffc") << true;
        QTest::newRow("four bytes, checksum off by one")
            << 3 << 0 << QByteArray("fffffffffd") << false;
        QTest::newRow("bytes after the checksum ignored")
            << 1 << 0 << QByteArray("010203ff") << true;
    }
    void answers()
    {
        QFETCH(int, lengthField);
        QFETCH(int, checksum);
        QFETCH(QByteArray, answer);
        QFETCH(bool, accepted);
        const QByteArray bytes = QByteArray::fromHex(answer);
        const auto field = std::uint8_t(lengthField);
        const bool write = lengthField < 0;
        QCOMPARE(write ? ackAccepted(raw(bytes)[0], std::uint8_t(checksum))
                       : readAnswerAccepted(raw(bytes), field),
                 accepted);
        // The device's own answer is the accepted one, whatever follows it.
        const Answer device =
            write ? writeAnswer(std::uint8_t(checksum)) : readAnswer(raw(bytes), field);
        QCOMPARE(hex(device.bytes.data(), device.size) == answer.left(2 * device.size), accepted);
    }
};

QTEST_GUILESS_MAIN(FrameProtocolTest)
#include "tst_frameprotocol.moc"
