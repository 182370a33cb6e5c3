#include "commands/LoadCommands.h"
#include "image/SRecordWriter.h"

#include "Fixtures.h"
#include "RecordingPrompter.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <numeric>

using namespace nuvora;
using Kind = LoadOutcome::Kind;

namespace {

constexpr int kRejected = -1;

// One S2 record at a 16-bit address (top byte apart); the checksum "00" is never looked at.
QByteArray s2(int address, const QByteArray &data, int topByte = 0)
{
    const int fields = (data.size() + 4) << 24 | topByte << 16 | address;
    return "S2" + QByteArray::number(fields, 16).rightJustified(8, '0').toUpper() +
           data.toHex().toUpper() + "00\n";
}

QByteArray bytes(int first, int count)
{
    QByteArray b(count, '\0');
    std::iota(b.begin(), b.end(), char(first));
    return b;
}

} // namespace

class TestSRecordReader : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<AppState> m_state = std::make_unique<AppState>();
    test::RecordingPrompter m_prompter;

    LoadOutcome load(const QString &path)
    {
        m_prompter.boxes.clear();
        m_state->ImageBuffer.fill(0x5A); // a previous image must leave no trace
        m_state->ImageEnd = 12345;
        m_state->LangText[8] = "Image title";
        m_state->LangText[16] = "No S-record data";
        return LoadImageFile(*m_state, path, m_prompter);
    }
    // The whole buffer equals prefix followed by erased bytes.
    void compareImage(const QByteArray &prefix)
    {
        const QByteArray got(reinterpret_cast<const char *>(m_state->ImageBuffer.data()),
                             kImageSize);
        QCOMPARE(got, prefix + QByteArray(kImageSize - prefix.size(), '\xFF'));
    }

private slots:
    // outcome: 0 loads (then end is the last index), kRejected, or the error number.
    void content_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<int>("end");
        using B = QByteArray;
        const auto row = [](const char *name, const B &file, int out, const B &img, int end = 0) {
            QTest::newRow(name) << file << out << img << end;
        };
        const B b16 = bytes(0, 16), two = bytes(0, 32), one = s2(0, "\x01"), r0 = s2(0, b16);
        const B r1 = s2(0x0010, bytes(0x10, 16)), c0 = r0.chopped(1) + "\r\n";

        row("mixed ends", "S0030000FC\nS5030002FA\r\n" + c0.chopped(1) + r1.chopped(1), 0, two, 31);
        row("byte-order mark, blank lines and an end-of-file mark after the records",
            "\xEF\xBB\xBF" + c0 + r1 + "\r\n   \r\n\t\r\n\x1A", 0, two, 31);
        row("lower-case hex, wrong checksum", "S214000000000102030405060708090a0b0c0d0e0f77\n", 0,
            b16, 15);
        row("top byte ignored", s2(0, "\x11\x22") + s2(0, "\x33", 1), 0, "\x33\x22", 1);
        row("count 04 raises the end", s2(0, "\x01\x02") + s2(0x10, ""), 0, "\x01\x02", 15);
        row("out of order, gaps erased", one + s2(8, "\x09") + s2(2, "\x03"), 0,
            B("\x01\xFF\x03\xFF\xFF\xFF\xFF\xFF\x09"), 8);
        row("first not at 0", s2(0x1000, b16) + s2(0x1010, bytes(16, 16)), 0, two, 31);
        row("count beyond the line: zeros", "S2080000001122\n", 0, B("\x11\x22\0\0", 4), 3);
        row("odd digit count: lone last digit", "S206000000112\n", 0, "\x11\x02", 1);
        row("non-hex data: leading digits", "S2070000001G0GZZ00\n", 0, B("\x01\0\0", 3), 2);
        row("one-digit count", "S21\n" + r0, 0, b16, 15);
        row("several-MB line", r0.chopped(1) + B(5 << 20, 'A') + "\n", 0, b16, 15);
        row("at FFFF", one + s2(0xFFFF, "~"), 0, "\x01" + B(65534, '\xFF') + "~", 65535);
        row("S3 among S2 passed over", c0 + "S3150000000000000000000000000000000000000000EA\n" + r1,
            0, two, 31);

        row("empty file", {}, kRejected, {});
        row("S1 records only", "S1130000000102030405060708090A0B0C0D0E0F00\n", kRejected, {});
        row("count 04 only", s2(0, "") + s2(0x20, ""), kRejected, {});
        // What was read stays in the buffer, but the load fails: never a partial image.
        row("text after data", r0 + ":1000000000\n" + r1, kRejected, b16);
        row("blank line between records", r0 + "\n" + r1, kRejected, b16);

        // '@' names a path to load instead of a file to write: a file gone between choosing and
        // reading, a folder, a device that never ends, a read failing (our memory from 0).
        row("vanished", "@" + m_dir.filePath("gone.mhx").toUtf8(), kErrFileNotFound, {});
        row("a folder", "@" + m_dir.path().toUtf8(), kErrPathAccess, {});
        row("a device", "@/dev/zero", kErrPathAccess, {});
        row("read fails", "@/proc/self/mem", kErrDeviceIo, {});
        row("count not hex", r0 + "S2G40000000102\n", kErrTypeMismatch, b16);
        row("count missing", "S2\n", kErrTypeMismatch, {});
        // The end is raised first; a byte written past the buffer would land in it.
        row("32 bytes at FFF0 stop at the end", one + s2(0xFFF0, bytes(64, 32)),
            kErrIndexOutOfRange, "\x01" + B(0xFFEF, '\xFF') + bytes(64, 16), 0xFFF0 + 32);
        row("record below the first", s2(0x100, "\x01") + s2(0xF0, "\x02"), kErrIndexOutOfRange,
            "\x01");
    }
    void content()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, outcome);
        QFETCH(QByteArray, image);
        QFETCH(int, end);
        const QString path = file.startsWith('@') ? QString::fromUtf8(file.mid(1))
                                                  : m_dir.filePath(QTest::currentDataTag());
        if (!file.startsWith('@'))
            test::writeFile(path, file);
        const LoadOutcome got = load(path);
        const Kind kind = outcome == 0 ? Kind::Loaded : outcome < 0 ? Kind::Rejected : Kind::Error;
        QCOMPARE(got.kind, kind);
        QCOMPARE(got.error, qMax(outcome, 0));
        if (kind == Kind::Loaded || end)
            QCOMPARE(m_state->ImageEnd, end);
        QCOMPARE(got.reason.isEmpty(), kind != Kind::Error); // a reason for terminals
        const QList<test::Box> noData = {{"No S-record data", kStyleExclamation, "Image title"}};
        QCOMPARE(m_prompter.boxes, kind == Kind::Rejected ? noData : QList<test::Box>{});
        compareImage(image);
    }

    // Lines crossing the reader's 64 KiB blocks, the third end falling between a CR and its LF
    // (the S0 line padded for it): records cycle over the image, the last pass decides.
    void bigFiles()
    {
        QByteArray file = "S00\r\n", expected(kImageSize, '\0');
        for (int n = 0; file.size() < 300 * 1024; ++n) {
            const int address = n * 16 % kImageSize;
            const QByteArray data = bytes(n * 16 / kImageSize + address / 16, 16);
            file += s2(address, data).chopped(1) + "\r\n";
            expected.replace(address, 16, data);
        }
        test::writeFile(m_dir.filePath("big.mhx"), file + "\r\n\r\n");
        QCOMPARE(load(m_dir.filePath("big.mhx")).kind, Kind::Loaded);
        QCOMPARE(m_state->ImageEnd, kImageSize - 1);
        compareImage(expected);
    }

    // Files srec_cat wrote from random binaries, placed at 0 or higher up, load byte for byte.
    void srecCat()
    {
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
        if (tool.isEmpty() && qEnvironmentVariableIntValue("NUVORA_REQUIRE_ALL"))
            QFAIL("srec_cat is missing, and ./run test installs it (Debian package srecord)");
        if (tool.isEmpty())
            QSKIP("srec_cat is not installed (Debian package srecord)");
        for (const auto &[size, options] :
             {std::pair{1, QStringList{}}, // one byte; the whole image; one-byte records high up
              {65536, QStringList{"-obs=250"}},
              {8191, QStringList{"-offset", "0x7F2000", "-obs=1"}}}) {
            const QByteArray binary =
                test::randomBytes(size, quint32(size * 7919 + options.size()));
            const QString bin = m_dir.filePath(QString::number(size)), mhx = bin + ".mhx";
            test::writeFile(bin, binary);
            const test::ProgramRun run =
                test::runProgram(QStringList{tool, bin, "-binary"} + options +
                                 QStringList{"-o", mhx, "-motorola", "-address-length=3"});
            QVERIFY2(run.status == 0, run.err.constData());
            QCOMPARE(load(mhx).kind, Kind::Loaded);
            QCOMPARE(m_state->ImageEnd, size - 1);
            compareImage(binary);
        }
    }

    // The writer against records worked out by hand, digit by digit: a 16-bit boundary crossed
    // with a short last record, then the top of the address space under a header cut to fit.
    void writer()
    {
        QCOMPARE(WriteSRecords(bytes(0, 17), 0xFFF8u, "hi"),
                 QByteArray("S0050000686929\r\nS21400FFF8000102030405060708090A0B0C0D0E0F7C\r\n"
                            "S20501000810E1\r\nS804000000FB\r\n"));
        QCOMPARE(WriteSRecords(QByteArray(16, char(0xAA)), 0xFFFFF0u, QByteArray(300, 'h')),
                 "S0FF0000" + QByteArray(252, 'h').toHex().toUpper() +
                     "A0\r\nS214FFFFF0AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA5D\r\nS804000000FB\r\n");
    }
};

QTEST_GUILESS_MAIN(TestSRecordReader)
#include "tst_srecordreader.moc"
