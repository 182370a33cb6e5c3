#include "transfer/PageReads.h"

#include "transfer/FrameProtocol.h"

#include <algorithm>

namespace nuvora {

void PageReads::reset(std::int32_t start, std::int32_t length)
{
    m_start = start;
    m_next = start;
    m_end = start + std::max<std::int32_t>(0, length);
    m_bytes.clear();
    m_bytes.reserve(m_end - m_start);
}

std::uint8_t PageReads::lengthField() const
{
    const std::int32_t left = std::min<std::int32_t>(protocol::kPageBytes, m_end - m_next);
    return static_cast<std::uint8_t>(std::max<std::int32_t>(1, left) - 1);
}

bool PageReads::take(const QByteArray &data)
{
    if (done() || data.size() != lengthField() + 1)
        return false;
    m_bytes += data;
    m_next += static_cast<std::int32_t>(data.size());
    return true;
}

ReadBackDifference compareReadBack(const std::uint8_t *sent, const QByteArray &read)
{
    ReadBackDifference d;
    for (qsizetype i = 0; i < read.size(); ++i) {
        if (static_cast<std::uint8_t>(read[i]) == sent[i])
            continue;
        if (d.first < 0)
            d.first = static_cast<std::int32_t>(i);
        ++d.count;
    }
    return d;
}

} // namespace nuvora
