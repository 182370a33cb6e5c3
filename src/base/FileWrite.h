#pragma once

#include <QByteArray>
#include <QString>

namespace nuvora {

// How a whole-file write went.
struct WriteResult {
    bool ok = true;
    int error = 0;  // when !ok: a classic file error number (61 disk full, 70, 75, 57)
    QString reason; // when !ok: the system's words, or why the target was refused
};

// Writes bytes as the whole content of path, the one way every file of the program is
// written. A regular file (or a new one) is replaced atomically: the bytes are written, flushed
// and checked before they replace the old file, so a full disk or a crash keeps the old one. A
// symbolic link keeps being a link: its target is replaced, with the target's mode and owner.
// A character device or a FIFO is written in place, never replaced, and "-" is standard output.
// A folder, a socket or a block device is refused.
WriteResult WriteWholeFile(const QString &path, const QByteArray &bytes);

} // namespace nuvora
