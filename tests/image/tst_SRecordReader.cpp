#include "image/SRecordReader.h"

#include "RecordingPrompter.h"
#include "TestFiles.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace nuvora;
using nuvora::test::Box;
using nuvora::test::RecordingPrompter;
using Kind = LoadOutcome::Kind;

Q_DECLARE_METATYPE(LoadOutcome::Kind)

namespace {

const QString kTitle = QStringLiteral("Image title");
const QString kNoData = QStringLiteral("No S-record data");

// One S2 record with the given 16-bit address (top byte in topByte), data and count; the
// checksum is a fixed "00": the reader never looks at it.
QByteArray s2(int address, const QByteArray &data, int topByte = 0)
{
    const int count = data.size() + 4;
    return QByteArray("S2") + QByteArray::number(count, 16).rightJustified(2, '0').toUpper() +
           QByteArray::number(topByte, 16).rightJustified(2, '0').toUpper() +
           QByteArray::number(address, 16).rightJustified(4, '0').toUpper() +
           data.toHex().toUpper() + "00";
}

QByteArray bytes(int first, int count)
{
    QByteArray b;
    for (int i = 0; i < count; ++i)
        b.append(char((first + i) & 0xFF));
    return b;
}

} // namespace

// Loads S-record files into the image buffer and checks every byte, the end index and the
// boxes.
class TestSRecordReader : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppState> m_state;
    RecordingPrompter m_prompter;
    int m_fileNo = 0;

    QString write(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("f%1.mhx").arg(++m_fileNo));
        test::writeFile(path, content);
        return path;
    }
    LoadOutcome load(const QString &path)
    {
        m_prompter.boxes.clear();
        return LoadFileMHX(*m_state, path, m_prompter);
    }
    // The whole buffer equals prefix followed by 0xFF.
    void compareImage(const QByteArray &prefix)
    {
        for (int i = 0; i < kImageSize; ++i) {
            const std::uint8_t want = i < prefix.size() ? std::uint8_t(prefix[i]) : 0xFF;
            if (m_state->ImageBuffer[size_t(i)] != want) {
                QFAIL(qPrintable(QStringLiteral("image byte %1 is %2, expected %3")
                                     .arg(i)
                                     .arg(m_state->ImageBuffer[size_t(i)], 2, 16, QLatin1Char('0'))
                                     .arg(want, 2, 16, QLatin1Char('0'))));
            }
        }
    }
    QString srecCat() const { return QStandardPaths::findExecutable(QStringLiteral("srec_cat")); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_state = std::make_unique<AppState>();
        m_state->LangText[8] = kTitle;
        m_state->LangText[16] = kNoData;
    }

    void content_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("imageEnd"); // checked for loads only
        QTest::addColumn<QByteArray>("image");

        const QByteArray r0 = s2(0x0000, bytes(0x00, 16));
        const QByteArray r1 = s2(0x0010, bytes(0x10, 16));
        const QByteArray two = bytes(0, 32);

        QTest::newRow("S0 S2 S2 S8, CR LF")
            << QByteArray("S00600004844521B\r\n" + r0 + "\r\n" + r1 + "\r\nS804000000FB\r\n")
            << Kind::Loaded << 0 << 31 << two;
        QTest::newRow("LF only") << QByteArray(r0 + "\n" + r1 + "\n") << Kind::Loaded << 0 << 31
                                 << two;
        QTest::newRow("CR only") << QByteArray(r0 + "\r" + r1 + "\r") << Kind::Loaded << 0 << 31
                                 << two;
        QTest::newRow("mixed ends, last unterminated") << QByteArray("S0030000FC\n"
                                                                     "S5030002FA\r\n" +
                                                                     r0 + "\r" + r1)
                                                       << Kind::Loaded << 0 << 31 << two;
        QTest::newRow("byte-order mark first")
            << QByteArray("\xEF\xBB\xBF" + r0 + "\r\n" + r1 + "\r\n") << Kind::Loaded << 0 << 31
            << two;
        QTest::newRow("trailing blank and white lines")
            << QByteArray(r0 + "\r\n" + r1 + "\r\n\r\n   \r\n\t\r\n\r\n") << Kind::Loaded << 0 << 31
            << two;
        QTest::newRow("DOS end-of-file mark after the data")
            << QByteArray(r0 + "\r\n" + r1 + "\r\n\x1A") << Kind::Loaded << 0 << 31 << two;
        QTest::newRow("lower-case hex digits")
            << QByteArray("S214000000000102030405060708090a0b0c0d0e0fff\n") << Kind::Loaded << 0
            << 15 << bytes(0, 16);
        QTest::newRow("wrong checksum stored all the same")
            << QByteArray(r0.left(r0.size() - 2) + "77\n") << Kind::Loaded << 0 << 15
            << bytes(0, 16);
        QTest::newRow("top address byte ignored, later overwrites")
            << QByteArray(s2(0, "\x11\x22") + "\n" + s2(0, "\x33", 0x01) + "\n") << Kind::Loaded
            << 0 << 1 << QByteArray("\x33\x22");
        QTest::newRow("count 04 above the data raises the end")
            << QByteArray(s2(0, "\x01\x02") + "\n" + s2(0x0010, "") + "\n") << Kind::Loaded << 0
            << 15 << QByteArray("\x01\x02");
        QTest::newRow("gap between records stays erased")
            << QByteArray(s2(0, "\xAA") + "\n" + s2(4, "\xBB") + "\n") << Kind::Loaded << 0 << 4
            << QByteArray("\xAA\xFF\xFF\xFF\xBB");
        QTest::newRow("records out of order")
            << QByteArray(s2(0, "\x01") + "\n" + s2(8, "\x09") + "\n" + s2(2, "\x03") + "\n")
            << Kind::Loaded << 0 << 8 << QByteArray("\x01\xFF\x03\xFF\xFF\xFF\xFF\xFF\x09");
        QTest::newRow("first record not at 0: stored and ended relative to it")
            << QByteArray(s2(0x1000, bytes(0, 16)) + "\n" + s2(0x1010, bytes(16, 16)) + "\n")
            << Kind::Loaded << 0 << 31 << two;
        QTest::newRow("count beyond the line gives zero bytes")
            << QByteArray("S2080000001122\n") << Kind::Loaded << 0 << 3
            << QByteArray("\x11\x22\x00\x00", 4);
        QTest::newRow("odd digit count: lone last digit")
            << QByteArray("S206000000112\n") << Kind::Loaded << 0 << 1 << QByteArray("\x11\x02");
        QTest::newRow("data field with non-hex: leading digits only")
            << QByteArray("S2070000001G0GZZ00\n") << Kind::Loaded << 0 << 2
            << QByteArray("\x01\x00\x00", 3);
        QTest::newRow("address field with non-hex: leading digits only")
            << QByteArray("S205000000CD00\nS2050001ZZAB00\n") << Kind::Loaded << 0 << 1
            << QByteArray("\xCD\xAB");
        QTest::newRow("one-digit count is a number")
            << QByteArray("S21\n" + r0 + "\n") << Kind::Loaded << 0 << 15 << bytes(0, 16);
        QTest::newRow("several-MB record line") << QByteArray(r0 + QByteArray(5 << 20, 'A') + "\n")
                                                << Kind::Loaded << 0 << 15 << bytes(0, 16);
        QTest::newRow("last byte at FFFF")
            << QByteArray(s2(0, "\x01") + "\n" + s2(0xFFFF, "\x7E") + "\n") << Kind::Loaded << 0
            << 65535 << QByteArray("\x01" + QByteArray(65534, '\xFF') + "\x7E");

        QTest::newRow("empty file") << QByteArray() << Kind::Rejected << 0 << 0 << QByteArray();
        QTest::newRow("S1 records only")
            << QByteArray("S1130000000102030405060708090A0B0C0D0E0F00\n") << Kind::Rejected << 0
            << 0 << QByteArray();
        QTest::newRow("S3 records only")
            << QByteArray("S31500000000000102030405060708090A0B0C0D0E0F00\n") << Kind::Rejected << 0
            << 0 << QByteArray();
        QTest::newRow("S2 records of count 04 only")
            << QByteArray(s2(0, "") + "\n" + s2(0x20, "") + "\n") << Kind::Rejected << 0 << 0
            << QByteArray();
        QTest::newRow("lower-case s")
            << QByteArray(r0.toLower() + "\n") << Kind::Rejected << 0 << 0 << QByteArray();
        QTest::newRow("text line before data")
            << QByteArray("hello\n" + r0 + "\n") << Kind::Rejected << 0 << 0 << QByteArray();
        QTest::newRow("blank line before data")
            << QByteArray("\n" + r0 + "\n") << Kind::Rejected << 0 << 0 << QByteArray();
        // The bytes read so far stay in the buffer, but the load fails: never a partial image.
        QTest::newRow("text line after data") << QByteArray(r0 + "\n:1000000000\n" + r1 + "\n")
                                              << Kind::Rejected << 0 << 0 << bytes(0, 16);
        QTest::newRow("blank line between records")
            << QByteArray(r0 + "\n\n" + r1 + "\n") << Kind::Rejected << 0 << 0 << bytes(0, 16);
        QTest::newRow("binary garbage")
            << QByteArray("\x7F"
                          "ELF\x02\x01\x01\x00\x00\x00\xFF\xFE\n\x00\x01",
                          15)
            << Kind::Rejected << 0 << 0 << QByteArray();
        QTest::newRow("NUL line first")
            << QByteArray("\0\0\0\n", 4) + r0 << Kind::Rejected << 0 << 0 << QByteArray();

        QTest::newRow("count not hex") << QByteArray(r0 + "\nS2G40000000102\n") << Kind::Error
                                       << kErrTypeMismatch << 0 << bytes(0, 16);
        QTest::newRow("count with a blank") << QByteArray("S2 5000000AA00\n") << Kind::Error
                                            << kErrTypeMismatch << 0 << QByteArray();
        QTest::newRow("count missing")
            << QByteArray("S2\n") << Kind::Error << kErrTypeMismatch << 0 << QByteArray();
        QTest::newRow("NUL in count") << QByteArray(QByteArray("S2") + '\0' + "5000000AA00\n")
                                      << Kind::Error << kErrTypeMismatch << 0 << QByteArray();
        QTest::newRow("32 bytes at FFF0 stop at the buffer's end")
            << QByteArray(s2(0, "\x01") + "\n" + s2(0xFFF0, bytes(0x40, 32)) + "\n") << Kind::Error
            << kErrIndexOutOfRange << 0
            << QByteArray("\x01" + QByteArray(0xFFEF, '\xFF') + bytes(0x40, 16));
        QTest::newRow("record below the first address")
            << QByteArray(s2(0x0100, "\x01") + "\n" + s2(0x00F0, "\x02") + "\n") << Kind::Error
            << kErrIndexOutOfRange << 0 << QByteArray("\x01");
    }

    void content()
    {
        QFETCH(QByteArray, file);
        QFETCH(Kind, kind);
        QFETCH(int, error);
        QFETCH(int, imageEnd);
        QFETCH(QByteArray, image);

        // A previous image must leave no trace.
        m_state->ImageBuffer.fill(0x5A);
        m_state->ImageEnd = 12345;
        const LoadOutcome outcome = load(write(file));

        QCOMPARE(outcome.kind, kind);
        QCOMPARE(outcome.error, error);
        if (kind == Kind::Loaded)
            QCOMPARE(m_state->ImageEnd, imageEnd);
        if (kind == Kind::Error)
            QVERIFY2(!outcome.reason.isEmpty(), "an error carries a reason for terminals");
        const QList<Box> boxes = kind == Kind::Rejected
                                     ? QList<Box>{{kNoData, kStyleExclamation, kTitle}}
                                     : QList<Box>{};
        QCOMPARE(m_prompter.boxes, boxes);
        compareImage(image);
    }

    void fileErrors_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("error");
        QTest::newRow("missing file") << "missing" << kErrFileNotFound;
        QTest::newRow("missing folder") << "missing-folder" << kErrFileNotFound;
        QTest::newRow("a folder") << "folder" << kErrPathAccess;
        QTest::newRow("a pipe (would block)") << "fifo" << kErrPathAccess;
        QTest::newRow("a device (never ends)") << "device" << kErrPathAccess;
        QTest::newRow("read fails with EIO") << "eio" << kErrDeviceIo;
    }

    void fileErrors()
    {
        QFETCH(QString, what);
        QFETCH(int, error);
        QString path;
        if (what == QLatin1String("missing")) {
            // As if the file vanished between choosing and reading.
            path = write(s2(0, "\x01") + "\n");
            QVERIFY(QFile::remove(path));
        } else if (what == QLatin1String("missing-folder")) {
            path = m_dir.filePath(QStringLiteral("nowhere/x.mhx"));
        } else if (what == QLatin1String("folder")) {
            path = m_dir.filePath(QStringLiteral("folder.mhx"));
            QVERIFY(QDir().mkpath(path));
        } else if (what == QLatin1String("fifo")) {
#ifdef Q_OS_UNIX
            path = m_dir.filePath(QStringLiteral("pipe.mhx"));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#else
            QSKIP("no named pipes in the file system here");
#endif
        } else if (what == QLatin1String("device")) {
            path = QStringLiteral("/dev/zero");
            if (!QFileInfo::exists(path))
                QSKIP("no /dev/zero here");
        } else if (what == QLatin1String("eio")) {
            // Our own memory read from address 0: a regular file whose read fails.
            path = QStringLiteral("/proc/self/mem");
            if (!QFileInfo::exists(path))
                QSKIP("no /proc here");
        }
        m_state->ImageBuffer.fill(0x5A);
        const LoadOutcome outcome = load(path);
        QCOMPARE(outcome.kind, Kind::Error);
        QCOMPARE(outcome.error, error);
        QVERIFY(!outcome.reason.isEmpty());
        QVERIFY(m_prompter.boxes.isEmpty());
        compareImage({});
    }

    // Lines crossing the reader's block boundary, a CR LF split across it included.
    void blockBoundaries_data()
    {
        QTest::addColumn<int>("padding");
        for (int p = 0; p < 48; p += 1)
            QTest::newRow(qPrintable(QStringLiteral("padding %1").arg(p))) << p;
    }

    void blockBoundaries()
    {
        QFETCH(int, padding);
        QByteArray file = "S0" + QByteArray(padding, '0') + "\r\n";
        QByteArray expected(kImageSize, '\0');
        // 1.2 MB of records cycling over the image; the last pass decides every byte.
        int address = 0;
        int pass = 0;
        while (file.size() < (1 << 20) + 200 * 1024) {
            const QByteArray data = bytes(address / 16 + pass, 16);
            file += s2(address, data) + "\r\n";
            expected.replace(address, 16, data);
            address += 16;
            if (address == kImageSize) {
                address = 0;
                ++pass;
            }
        }
        file += "\r\n\r\n";
        const int end = pass > 0 ? kImageSize - 1 : address - 1;
        expected.truncate(end + 1);
        const LoadOutcome outcome = load(write(file));
        QCOMPARE(outcome.kind, Kind::Loaded);
        QCOMPARE(m_state->ImageEnd, end);
        compareImage(expected);
    }

    // Files that srec_cat wrote from random binaries load byte for byte.
    void srecCatRoundTrip_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QStringList>("options");
        const QList<int> sizes = {1, 15, 16, 17, 255, 4096, 8191, 65535, 65536};
        const QList<QPair<QString, QStringList>> layouts = {
            {QStringLiteral("default"), {}},
            {QStringLiteral("obs=1"), {QStringLiteral("-obs=1")}},
            {QStringLiteral("obs=16"), {QStringLiteral("-obs=16")}},
            {QStringLiteral("obs=250"), {QStringLiteral("-obs=250")}},
            {QStringLiteral("line-length=46"), {QStringLiteral("-line-length=46")}},
            {QStringLiteral("line-length=20"), {QStringLiteral("-line-length=20")}},
        };
        for (int size : sizes) {
            for (const auto &[name, options] : layouts) {
                QTest::newRow(qPrintable(QStringLiteral("%1 bytes, %2").arg(size).arg(name)))
                    << size << options;
            }
        }
    }

    void srecCatRoundTrip()
    {
        QFETCH(int, size);
        QFETCH(QStringList, options);
        if (srecCat().isEmpty())
            QSKIP("srec_cat is not installed (Debian package srecord)");

        QRandomGenerator random(quint32(size) * 7919u + quint32(options.join(' ').size()));
        QByteArray binary(size, '\0');
        for (char &c : binary)
            c = char(random.bounded(256));
        const QString bin = m_dir.filePath(QStringLiteral("r%1.bin").arg(++m_fileNo));
        const QString mhx = m_dir.filePath(QStringLiteral("r%1.mhx").arg(m_fileNo));
        test::writeFile(bin, binary);

        QProcess tool;
        tool.start(srecCat(),
                   QStringList{bin, QStringLiteral("-binary"), QStringLiteral("-o"), mhx,
                               QStringLiteral("-motorola"), QStringLiteral("-address-length=3")} +
                       options);
        QVERIFY(tool.waitForFinished(60000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

        const LoadOutcome outcome = load(mhx);
        QCOMPARE(outcome.kind, Kind::Loaded);
        QCOMPARE(m_state->ImageEnd, size - 1);
        compareImage(binary);
    }

    // A file placed high in the address space loads the same as one placed at 0.
    void srecCatOffsets_data()
    {
        QTest::addColumn<QString>("offset");
        QTest::newRow("top address byte only") << "0x030000";
        QTest::newRow("inside the 16-bit address") << "0x0100";
        QTest::newRow("both") << "0x7F2000";
    }

    void srecCatOffsets()
    {
        QFETCH(QString, offset);
        if (srecCat().isEmpty())
            QSKIP("srec_cat is not installed (Debian package srecord)");
        const QByteArray binary = bytes(3, 1000);
        const QString bin = m_dir.filePath(QStringLiteral("o%1.bin").arg(++m_fileNo));
        const QString mhx = m_dir.filePath(QStringLiteral("o%1.mhx").arg(m_fileNo));
        test::writeFile(bin, binary);
        QProcess tool;
        tool.start(srecCat(), {bin, QStringLiteral("-binary"), QStringLiteral("-offset"), offset,
                               QStringLiteral("-o"), mhx, QStringLiteral("-motorola"),
                               QStringLiteral("-address-length=3")});
        QVERIFY(tool.waitForFinished(60000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
        const LoadOutcome outcome = load(mhx);
        QCOMPARE(outcome.kind, Kind::Loaded);
        QCOMPARE(m_state->ImageEnd, binary.size() - 1);
        compareImage(binary);
    }

    // A big file of records is read in bounded memory and still decides every byte.
    void hundredMegabytes()
    {
        const QString path = m_dir.filePath(QStringLiteral("big.mhx"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray block;
            for (int a = 0; a < kImageSize; a += 16)
                block += s2(a, bytes(a / 16, 16)) + "\r\n";
            while (f.size() < 100LL * 1024 * 1024)
                QCOMPARE(f.write(block), qint64(block.size()));
            QVERIFY(f.write(s2(0, "\xC3") + "\r\n") > 0);
        }
        QByteArray expected;
        for (int a = 0; a < kImageSize; a += 16)
            expected += bytes(a / 16, 16);
        expected[0] = '\xC3';
        const LoadOutcome outcome = load(path);
        QCOMPARE(outcome.kind, Kind::Loaded);
        QCOMPARE(m_state->ImageEnd, kImageSize - 1);
        compareImage(expected);
        QFile::remove(path);
    }
};

QTEST_GUILESS_MAIN(TestSRecordReader)
#include "tst_SRecordReader.moc"
