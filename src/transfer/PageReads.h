#pragma once

#include <QByteArray>

#include <cstdint>

namespace nuvora {

// The read frames that bring a range of device addresses back, a page at a time (the last
// frame shorter when the range ends inside a page), and the bytes they brought.
class PageReads {
public:
    // Starts over on `length` bytes from `start`; the range must lie inside the device.
    void reset(std::int32_t start, std::int32_t length);
    bool done() const { return m_next >= m_end; }
    // The next frame: its address and its length field (data bytes - 1).
    std::int32_t address() const { return m_next; }
    std::uint8_t lengthField() const;
    // Keeps the next frame's data bytes and moves on; false (and nothing kept) when `data`
    // is not exactly what the frame asked for.
    bool take(const QByteArray &data);
    std::int32_t start() const { return m_start; }
    std::int32_t length() const { return m_end - m_start; }
    const QByteArray &bytes() const { return m_bytes; }

private:
    std::int32_t m_start = 0;
    std::int32_t m_next = 0;
    std::int32_t m_end = 0;
    QByteArray m_bytes;
};

// Where bytes read back differ from the bytes that were sent.
struct ReadBackDifference {
    std::int32_t first = -1; // offset of the first differing byte, -1 when none
    std::int32_t count = 0;  // bytes that differ
    bool any() const { return count > 0; }
};

// Compares `read` with the same number of bytes from `sent`.
ReadBackDifference compareReadBack(const std::uint8_t *sent, const QByteArray &read);

} // namespace nuvora
