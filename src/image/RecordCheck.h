#pragma once

#include <QString>

#include <vector>

namespace nuvora {

// One thing wrong with an S-record file that the image reader lets pass: it skips record
// checksums, reads a bad digit as 0 and trusts the count. Line 0 concerns the whole file.
struct RecordProblem {
    enum class Kind { Checksum, NotHex, Count, NoEndRecord };
    Kind kind = Kind::Checksum;
    qint64 line = 0;
    QString what; // e.g. "checksum is 3C, the record's bytes give 3D"
};

// Checks the records the reader would read (up to the first line that does not start with
// "S"): checksum, hex digits, count against the line's length, and an end record (S7, S8 or
// S9) as the last one. A file that cannot be opened gives no problems: the load reports it.
std::vector<RecordProblem> CheckRecords(const QString &path);

} // namespace nuvora
