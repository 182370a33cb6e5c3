#include "image/SRecordReader.h"

#include "image/LineReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>

namespace nuvora {

namespace {

constexpr std::uint8_t kErasedByte = 0xFF;
constexpr int kCountColumn = 2; // 0-based offsets within a line
constexpr int kAddressColumn = 6;
constexpr int kAddressDigits = 4;
constexpr int kRecordOverhead = 4; // three address bytes and the checksum

constexpr std::array<std::int8_t, 256> makeHexTable()
{
    std::array<std::int8_t, 256> table{};
    for (auto &v : table)
        v = -1;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = std::int8_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = std::int8_t(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        table[c] = std::int8_t(c - 'a' + 10);
    return table;
}

constexpr std::array<std::int8_t, 256> kHex = makeHexTable();

int hexDigit(const LineReader::Line &line, int at)
{
    if (at >= line.size)
        return -1;
    return kHex[static_cast<unsigned char>(line.data[at])];
}

// The value of a field's leading hex digits: the first other character, or the line's end,
// stops the conversion, and a field without any digit is 0.
int leadingHex(const LineReader::Line &line, int from, int width)
{
    int value = 0;
    for (int at = from; at < from + width; ++at) {
        const int d = hexDigit(line, at);
        if (d < 0)
            break;
        value = value * 16 + d;
    }
    return value;
}

// The count must be a whole hex number (one or two digits, as much of the field as the line
// holds); anything else is a type mismatch.
bool countField(const LineReader::Line &line, int &count)
{
    const int width = qMin(2, line.size - kCountColumn);
    if (width <= 0)
        return false;
    count = 0;
    for (int at = kCountColumn; at < kCountColumn + width; ++at) {
        const int d = hexDigit(line, at);
        if (d < 0)
            return false;
        count = count * 16 + d;
    }
    return true;
}

LoadOutcome failure(int error, const QString &reason)
{
    LoadOutcome outcome;
    outcome.kind = LoadOutcome::Kind::Error;
    outcome.error = error;
    outcome.reason = reason;
    return outcome;
}

LoadOutcome openFailure(const QString &path, int systemError)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(path))
        return failure(kErrFileNotFound, QStringLiteral("file not found: %1").arg(shown));
    if (systemError == EACCES || systemError == EPERM || !QFileInfo(path).isReadable())
        return failure(kErrPermissionDenied, QStringLiteral("permission denied: %1").arg(shown));
    return failure(kErrPathAccess, QStringLiteral("cannot open %1").arg(shown));
}

// True when nothing but blank lines remain.
bool onlyBlankLinesLeft(LineReader &reader)
{
    LineReader::Line line;
    while (reader.next(line)) {
        if (!line.blank)
            return false;
    }
    return true;
}

// What the records read so far have made of the image.
struct ImageFill {
    bool stored = false;     // a data byte was stored
    bool seenRecord = false; // an S2 record was read: baseAddress is set
    int baseAddress = 0;     // the first record's address: image index 0
};

// Stores one S2 record's data bytes; an error outcome when the record cannot be stored.
std::optional<LoadOutcome> storeRecord(AppState &state, ImageFill &fill,
                                       const LineReader::Line &line, qint64 lineNumber,
                                       const QString &shown)
{
    const int address = leadingHex(line, kAddressColumn, kAddressDigits);
    if (!fill.seenRecord) {
        fill.seenRecord = true;
        fill.baseAddress = address;
    }
    int count = 0;
    if (!countField(line, count)) {
        const QByteArray field(line.data + qMin(kCountColumn, line.size),
                               qBound(0, line.size - kCountColumn, 2));
        return failure(kErrTypeMismatch,
                       QStringLiteral("%1, line %2: count field \"%3\" is not a hex number")
                           .arg(shown)
                           .arg(lineNumber)
                           .arg(QString::fromLatin1(field)));
    }
    const int length = count - kRecordOverhead;
    // The end is taken relative to the first record, like the stored bytes, so that an image
    // linked at a high address is not padded with erased bytes up to it.
    const int end = address - fill.baseAddress + length;
    if (state.ImageEnd < end)
        state.ImageEnd = end;

    int index = address - fill.baseAddress;
    for (int i = 1; i <= length; ++i, ++index) {
        fill.stored = true;
        if (index < 0 || index >= kImageSize) {
            return failure(kErrIndexOutOfRange,
                           QStringLiteral("%1, line %2: data byte at image index %3 lies "
                                          "outside the image (0 to %4)")
                               .arg(shown)
                               .arg(lineNumber)
                               .arg(index)
                               .arg(kImageSize - 1));
        }
        state.ImageBuffer[size_t(index)] = std::uint8_t(leadingHex(line, 2 * i + 8, 2));
    }
    return std::nullopt;
}

// Why a path cannot be read as an image, before it is opened.
std::optional<LoadOutcome> unreadableTarget(const QString &path, const QString &shown)
{
    const QFileInfo info(path);
    if (!info.exists())
        return failure(kErrFileNotFound, QStringLiteral("file not found: %1").arg(shown));
    if (info.isDir())
        return failure(kErrPathAccess, QStringLiteral("%1 is a folder, not a file").arg(shown));
    // Pipes and devices could block or never end; an image is always a plain file.
    if (!info.isFile())
        return failure(kErrPathAccess, QStringLiteral("%1 is not a regular file").arg(shown));
    return std::nullopt;
}

} // namespace

LoadOutcome LoadFileMHX(AppState &state, const QString &path)
{
    state.ImageBuffer.fill(kErasedByte);

    const QString shown = QDir::toNativeSeparators(path);
    if (const auto refused = unreadableTarget(path, shown))
        return *refused;
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        return openFailure(path, errno);

    state.ImageEnd = 0;
    ImageFill fill;
    bool endOfFile = true;
    qint64 lineNumber = 0;

    LineReader reader(file);
    LineReader::Line line;
    while (reader.next(line)) {
        ++lineNumber;
        if (line.size == 0 || line.data[0] != 'S') {
            // Trailing blank lines are what many editors leave: they end the file quietly.
            // Anything else ends it too early, and a partial image must never be programmed.
            if (!(line.blank && onlyBlankLinesLeft(reader)))
                endOfFile = false;
            break;
        }
        if (line.size < 2 || line.data[1] != '2')
            continue;
        if (const auto error = storeRecord(state, fill, line, lineNumber, shown))
            return *error;
    }
    if (reader.readFailed()) {
        return failure(kErrDeviceIo,
                       QStringLiteral("cannot read %1: %2").arg(shown, reader.errorString()));
    }

    if (endOfFile) {
        state.ImageEnd -= 1;
        if (fill.stored)
            return LoadOutcome{LoadOutcome::Kind::Loaded, 0, {}};
    }
    return LoadOutcome{LoadOutcome::Kind::Rejected, 0, {}};
}

} // namespace nuvora
