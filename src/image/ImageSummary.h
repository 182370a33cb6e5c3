#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace nuvora {

// What an S-record file is made of, beyond the bytes the reader stores: for the summary a
// person checks an image by, and for naming device addresses as the image's own.
struct ImageSummary {
    // Image bytes inside the image's range that no record wrote: they stay erased.
    struct Gap {
        std::int32_t index = 0; // first image index of the gap
        std::int32_t length = 0;
    };

    bool hasData = false;             // an S2 record was read
    std::uint32_t firstAddress = 0;   // the first S2 record's address (24 bits): image index 0
    std::array<qint64, 10> records{}; // records by type, S0 to S9
    qint64 otherRecords = 0;          // lines starting with "S" and no type digit
    std::vector<Gap> gaps;
};

// Reads the records of `path` as the image reader does (up to the first line that does not
// start with "S"); gaps are looked for in image indexes 0 to `imageEnd`. A file that cannot be
// read gives an empty summary: the load reports it.
ImageSummary SummariseImage(const QString &path, std::int32_t imageEnd);

} // namespace nuvora
