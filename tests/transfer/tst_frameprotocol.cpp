// The frame protocol's bytes, worked out by hand, without a line: what the tool sends, what the
// device reads from it, and which answers each side accepts.
#include "Rows.h"
#include "transfer/FrameProtocol.h"

using namespace nuvora::protocol;

namespace {
const std::uint8_t *raw(const QByteArray &bytes)
{
    return reinterpret_cast<const std::uint8_t *>(bytes.constData());
}
QByteArray hex(const std::uint8_t *bytes, int size)
{
    return QByteArray(reinterpret_cast<const char *>(bytes), size).toHex();
}

// A page (hex, empty for a read) and the length field asked for; the request in hex and the
// answer's length, 0 when the bytes are not a request.
struct RequestRow {
    const char *name;
    int address, lengthField;
    QByteArray page, request;
    int answerBytes;
};
const QByteArray kInOrder = "000102030405060708090a0b0c0d0e0f", kErased = QByteArray(32, 'f');
const std::vector<RequestRow> kRequests{
    {"probe read at 4", 4, 0, "", "0000040004", 2},
    {"read checksum wraps past 255", 0xFFFF, 15, "", "0f00ffff0d", 17}, // 0x0F + 0xFF + 0xFF
    {"page write at 0, data in order", 0, 15, kInOrder, "cf000000" + kInOrder + "47", 1},
    {"page write at FFF0, address low byte first", 0xFFF0, 15, kErased, "cf00f0ff" + kErased + "ae",
     1},
    // The length field is 15 whatever was asked: 0xCF + 0x20 + 0x78 = 0x167.
    {"tail frame still carries the whole page", 0x20, 1, kInOrder, "cf002000" + kInOrder + "67", 1},
    {"not: byte 1 set", 0, 0, "", "0001040005", 0},
    {"not: write cut short", 0, 0, "", "cf00100000", 0},
};

// A write's acknowledgement (length field -1, the request's checksum given) or a read's data
// and checksum.
struct AnswerRow {
    const char *name;
    int lengthField, checksum;
    QByteArray answer;
    bool accepted;
};
const std::vector<AnswerRow> kAnswers{
    {"ack twice the checksum, mod 256", -1, 0xCF, "9e", true},
    {"ack one above", -1, 0xCF, "9f", false},
    {"four bytes, sum wraps past 255", 3, 0, "fffffffffc", true},
    {"four bytes, checksum off by one", 3, 0, "fffffffffd", false},
    {"bytes after the checksum ignored", 1, 0, "010203ff", true},
};
} // namespace

class FrameProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void requests_data() { nuvora::test::indexRows(kRequests); }
    void requests()
    {
        const RequestRow &r = nuvora::test::currentRow(kRequests);
        const QByteArray line = QByteArray::fromHex(r.request);
        const auto parsed = parseRequest(raw(line), std::size_t(line.size()));
        QCOMPARE(bool(parsed), r.answerBytes > 0);
        if (!parsed)
            return;
        const bool write = !r.page.isEmpty();
        const QByteArray bytes = QByteArray::fromHex(r.page);
        const auto at = std::uint16_t(r.address);
        const auto field = std::uint8_t(r.lengthField);
        const Request q = write ? writeRequest(kPageWriteCommand, at, field, raw(bytes))
                                : readRequest(kReadCommand, at, field);
        QCOMPARE(hex(q.bytes.data(), q.size), r.request);
        QCOMPARE(answerBytes(write, q.lengthField), r.answerBytes);
        // The device reads the same fields back off the line.
        QCOMPARE(parsed->write, write);
        QCOMPARE(int(parsed->command), write ? 4 : 0); // the page write, or the plain read
        QCOMPARE(int(parsed->address), r.address);
        QCOMPARE(int(parsed->lengthField), write ? 15 : r.lengthField);
        QCOMPARE(int(parsed->checksum), int(raw(line)[line.size() - 1]));
        QCOMPARE(parsed->page ? hex(parsed->page, kPageBytes) : QByteArray(), r.page);
    }

    void answers_data() { nuvora::test::indexRows(kAnswers); }
    void answers()
    {
        const AnswerRow &r = nuvora::test::currentRow(kAnswers);
        const QByteArray bytes = QByteArray::fromHex(r.answer);
        const auto field = std::uint8_t(r.lengthField), sum = std::uint8_t(r.checksum);
        const bool write = r.lengthField < 0;
        QCOMPARE(write ? ackAccepted(raw(bytes)[0], sum) : readAnswerAccepted(raw(bytes), field),
                 r.accepted);
        // The device's own answer is the accepted one, whatever follows it.
        const Answer device = write ? writeAnswer(sum) : readAnswer(raw(bytes), field);
        QCOMPARE(hex(device.bytes.data(), device.size) == r.answer.left(2 * device.size),
                 r.accepted);
    }
};

QTEST_GUILESS_MAIN(FrameProtocolTest)
#include "tst_frameprotocol.moc"
