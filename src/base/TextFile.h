#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace nuvora {

// The lines of a small text file, or why it could not be read.
struct TextLines {
    bool ok = false;
    QStringList lines;
    QString error;         // when !ok: a sentence naming the file and the reason
    bool tooLarge = false; // when !ok: a file past the allowance below
};

// Files larger than this are not settings or language files; refusing them keeps a mistaken
// pick from eating memory.
constexpr qint64 kMaxTextFileBytes = 16 * 1024 * 1024;

// Reads a settings or language file: UTF-8 when the bytes are valid UTF-8, otherwise
// Windows-1252 (files written by the Windows tool). CR LF, LF and CR alone end lines; the last
// line may lack its terminator. At most maxLines lines are returned (all when negative).
TextLines ReadTextFile(const QString &path, qsizetype maxLines = -1);

// The decoding rule above, for one block of bytes (a leading byte-order mark is dropped).
QString DecodeText(const QByteArray &bytes);

// Windows-1252 to text, byte by byte.
QString DecodeWindows1252(const QByteArray &bytes);

} // namespace nuvora
