#include "base/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <array>

namespace nuvora {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five holes (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the C1 control of the same number, as Windows itself converts them.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98..9F
};

// Finds where the first maxLines lines of a growing block of bytes end. CR and LF bytes are
// line ends in UTF-8 and in Windows-1252 alike, so this works before the text is decoded.
class LineEnds {
public:
    explicit LineEnds(qsizetype maxLines) : m_wanted(maxLines) {}

    // The byte count that holds the wanted lines with their ends, or -1 when not there yet.
    qsizetype scan(const QByteArray &bytes)
    {
        if (m_wanted < 0)
            return -1;
        for (; m_pos < bytes.size(); ++m_pos) {
            const char c = bytes.at(m_pos);
            if (m_afterCr && c == '\n') {
                m_afterCr = false; // the second half of a CR LF
                continue;
            }
            m_afterCr = c == '\r';
            if (c != '\r' && c != '\n')
                continue;
            if (++m_found == m_wanted)
                return m_pos + 1;
        }
        return m_wanted == 0 ? 0 : -1;
    }

private:
    qsizetype m_wanted;
    qsizetype m_found = 0;
    qsizetype m_pos = 0;
    bool m_afterCr = false;
};

QString failure(const QString &path, const QString &why)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
}

// Why a path cannot be read as a text file of this kind; empty when it can.
QString refusal(const QFileInfo &info, qsizetype maxLines)
{
    if (!info.exists())
        return QStringLiteral("file not found");
    if (info.isDir())
        return QStringLiteral("is a folder, not a file");
    if (!info.isFile())
        return QStringLiteral("is not a regular file");
    // A file read whole must fit the allowance; one read for its first lines only needs those
    // lines to lie within it, whatever follows them.
    if (maxLines < 0 && info.size() > kMaxTextFileBytes)
        return QStringLiteral("too large (%1 bytes) for a text file of this kind").arg(info.size());
    return QString();
}

// The lines of text, at most maxLines of them (all when negative).
QStringList splitLines(const QString &text, qsizetype maxLines)
{
    QStringList lines;
    const qsizetype length = text.size();
    qsizetype start = 0;
    while (start < length && (maxLines < 0 || lines.size() < maxLines)) {
        qsizetype at = start;
        while (at < length && text.at(at) != QLatin1Char('\n') && text.at(at) != QLatin1Char('\r'))
            ++at;
        lines.append(text.mid(start, at - start));
        if (at < length && text.at(at) == QLatin1Char('\r') && at + 1 < length &&
            text.at(at + 1) == QLatin1Char('\n'))
            ++at;
        start = at + 1;
    }
    return lines;
}

} // namespace

QString DecodeWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b <= 0x9F) ? QChar(kHighControls[b - 0x80]) : QChar(b);
    }
    return text;
}

QString DecodeText(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError())
        return text;
    return DecodeWindows1252(bytes);
}

TextLines ReadTextFile(const QString &path, qsizetype maxLines)
{
    TextLines result;
    const QFileInfo info(path);
    const QString refused = refusal(info, maxLines);
    if (!refused.isEmpty()) {
        result.error = failure(path, refused);
        result.tooLarge = info.isFile(); // a regular file is refused only for its size
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = failure(path, file.errorString());
        return result;
    }
    // Read in blocks: asking QFile for the whole allowance at once allocates all 16 MiB for a
    // file of a few hundred bytes. Going past the allowance tells a file that grew meanwhile.
    QByteArray bytes;
    bytes.reserve(qsizetype(qMin<qint64>(info.size(), kMaxTextFileBytes)));
    LineEnds ends(maxLines);
    char block[64 * 1024];
    for (;;) {
        const qint64 got = file.read(block, sizeof block);
        if (got < 0) {
            result.error = failure(path, file.errorString());
            return result;
        }
        if (got == 0)
            break;
        bytes.append(block, qsizetype(got));
        const qsizetype enough = ends.scan(bytes);
        if (enough >= 0) {
            // Only whole lines go to the decoder, so a character cut at the block's end
            // cannot make UTF-8 look like Windows-1252.
            bytes.truncate(enough);
            break;
        }
        if (bytes.size() > kMaxTextFileBytes)
            break;
    }
    if (bytes.size() > kMaxTextFileBytes) {
        result.error = failure(path, QStringLiteral("too large for a text file of this kind"));
        result.tooLarge = true;
        return result;
    }

    result.lines = splitLines(DecodeText(bytes), maxLines);
    result.ok = true;
    return result;
}

} // namespace nuvora
