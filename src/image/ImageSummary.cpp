#include "image/ImageSummary.h"

#include "image/LineReader.h"

#include "base/AppState.h"

#include <QFile>

#include <bitset>
#include <memory>

namespace nuvora {

namespace {

constexpr int kCountColumn = 2; // 0-based offsets within a line
constexpr int kAddressColumn = 4;
constexpr int kLowAddressColumn = 6; // the image reader uses the low 16 bits only
constexpr int kRecordOverhead = 4;   // three address bytes and the checksum

// The value of a field's leading hex digits, as the image reader takes them.
std::uint32_t leadingHex(const LineReader::Line &line, int from, int width)
{
    std::uint32_t value = 0;
    for (int at = from; at < from + width && at < line.size; ++at) {
        const char c = line.data[at];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0)
            break;
        value = value * 16 + std::uint32_t(digit);
    }
    return value;
}

} // namespace

ImageSummary SummariseImage(const QString &path, std::int32_t imageEnd)
{
    ImageSummary summary;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return summary;
    // 64 Ki flags: kept off the stack.
    auto written = std::make_unique<std::bitset<kImageSize>>();
    std::uint32_t base = 0;
    LineReader reader(file);
    LineReader::Line line;
    while (reader.next(line) && line.size > 0 && line.data[0] == 'S') {
        const char type = line.size > 1 ? line.data[1] : ' ';
        if (type < '0' || type > '9') {
            ++summary.otherRecords;
            continue;
        }
        ++summary.records[size_t(type - '0')];
        if (type != '2')
            continue;
        const std::uint32_t low = leadingHex(line, kLowAddressColumn, 4);
        if (!summary.hasData) {
            summary.hasData = true;
            summary.firstAddress = leadingHex(line, kAddressColumn, 6);
            base = low;
        }
        const int length = int(leadingHex(line, kCountColumn, 2)) - kRecordOverhead;
        for (int i = 0; i < length; ++i) {
            const qint64 index = qint64(low) - base + i;
            if (index >= 0 && index < kImageSize)
                written->set(size_t(index));
        }
    }
    const std::int32_t last = std::min(imageEnd, kImageSize - 1);
    for (std::int32_t i = 0; summary.hasData && i <= last; ++i) {
        if (written->test(size_t(i)))
            continue;
        if (summary.gaps.empty() || summary.gaps.back().index + summary.gaps.back().length != i)
            summary.gaps.push_back({i, 0});
        ++summary.gaps.back().length;
    }
    return summary;
}

} // namespace nuvora
