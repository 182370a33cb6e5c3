#pragma once

#include <QByteArray>
#include <QIODevice>

#include <cstddef>

namespace nuvora {

// Hands out the lines of a device one at a time (CR LF, LF or CR end a line), reading it in
// large blocks so that memory stays bounded whatever the file's size or line length. Only the
// first kKeep bytes of a line are kept; of the rest, only whether it is white space is known.
class LineReader {
public:
    static constexpr int kKeep = 1024;
    static constexpr qint64 kBlockSize = 64 * 1024;

    struct Line {
        const char *data = nullptr; // the first bytes of the line, at most kKeep
        int size = 0;
        bool blank = true; // the whole line is empty or white space
    };

    explicit LineReader(QIODevice &device);

    // Fills line and returns true, or returns false at the end of the data or on a read error.
    bool next(Line &line);
    bool readFailed() const { return m_readFailed; }
    QString errorString() const { return m_device.errorString(); }

private:
    bool refill();
    // Moves past the line end found at `at`: a CR, an LF, or both.
    void stepPastEnd(qsizetype at);

    QIODevice &m_device;
    QByteArray m_block;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    bool m_atEnd = false;
    bool m_readFailed = false;
    bool m_skipLineFeed = false; // a CR ended the last block: an LF first in the next belongs to it
    bool m_firstBlock = true;
    char m_kept[kKeep] = {};
};

} // namespace nuvora
