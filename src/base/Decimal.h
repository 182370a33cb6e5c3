#pragma once

// Plain C++ (no Qt): the adapter lookup that uses it also builds for Windows with mingw-w64.

#include <cstddef>
#include <optional>
#include <string_view>

namespace nuvora {

// The decimal number written at text[pos...]: pos moves past its digits. No digit at pos, or a
// value above limit, gives nothing (pos then says nothing useful).
inline std::optional<long> ReadDecimal(std::string_view text, std::size_t &pos, long limit)
{
    const std::size_t first = pos;
    long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > limit)
            return std::nullopt;
    }
    if (pos == first)
        return std::nullopt;
    return value;
}

} // namespace nuvora
