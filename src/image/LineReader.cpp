#include "image/LineReader.h"

#include <cstring>

namespace nuvora {

namespace {

// Ctrl-Z counts as white space: DOS-era tools end their text files with it.
bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\x1A';
}

bool allWhite(const char *text, qsizetype length)
{
    for (qsizetype i = 0; i < length; ++i) {
        if (!isWhite(text[i]))
            return false;
    }
    return true;
}

} // namespace

LineReader::LineReader(QIODevice &device) : m_device(device) {}

bool LineReader::refill()
{
    if (m_atEnd)
        return false;
    if (m_block.size() != kBlockSize)
        m_block.resize(kBlockSize);
    const qint64 got = m_device.read(m_block.data(), kBlockSize);
    if (got <= 0) {
        m_readFailed = got < 0;
        m_atEnd = true;
        m_pos = m_end = 0;
        return false;
    }
    m_pos = 0;
    m_end = got;
    if (m_firstBlock) {
        m_firstBlock = false;
        // Editors on Windows like to start UTF-8 files with a byte-order mark; it is no text.
        if (m_end >= 3 && std::memcmp(m_block.constData(), "\xEF\xBB\xBF", 3) == 0)
            m_pos = 3;
    }
    return true;
}

void LineReader::stepPastEnd(qsizetype at)
{
    const char *base = m_block.constData();
    m_pos = at + 1;
    if (base[at] != '\r')
        return;
    if (m_pos == m_end)
        m_skipLineFeed = true; // the LF of a CR LF may open the next block
    else if (base[m_pos] == '\n')
        ++m_pos;
}

bool LineReader::next(Line &line)
{
    line = Line{};
    bool started = false;
    int kept = 0;
    bool inPlace = true; // the line so far lies whole in the current block

    for (;;) {
        if (m_pos == m_end && !refill()) {
            if (!started)
                return false;
            if (!inPlace) {
                line.data = m_kept;
                line.size = kept;
            }
            return true; // a last line without its terminator
        }
        const char *base = m_block.constData();
        if (m_skipLineFeed) {
            m_skipLineFeed = false;
            if (base[m_pos] == '\n') {
                ++m_pos;
                continue;
            }
        }
        const qsizetype from = m_pos;
        qsizetype at = from;
        while (at < m_end && base[at] != '\n' && base[at] != '\r')
            ++at;
        const qsizetype length = at - from;
        if (line.blank)
            line.blank = allWhite(base + from, length);
        const bool ended = at < m_end;
        if (!started && ended) {
            // The usual case: the whole line lies in this block, no copy needed.
            line.data = base + from;
            line.size = int(qMin<qsizetype>(length, kKeep));
        } else {
            inPlace = false;
            const qsizetype take = qMin<qsizetype>(length, kKeep - kept);
            if (take > 0) {
                std::memcpy(m_kept + kept, base + from, size_t(take));
                kept += int(take);
            }
        }
        started = true;

        if (!ended) {
            m_pos = m_end;
            continue;
        }
        stepPastEnd(at);
        if (!inPlace) {
            line.data = m_kept;
            line.size = kept;
        }
        return true;
    }
}

} // namespace nuvora
