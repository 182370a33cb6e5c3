#pragma once

#include <QByteArray>

#include <cstdint>

namespace nuvora {

// Data bytes in one S2 record of the files the read command writes.
constexpr int kSRecordDataBytes = 16;

// `bytes` as an S-record file that the image reader, and any S-record tool, reads back as the
// same bytes at `address` onward: an S0 record carrying `header`, S2 records of 16 data bytes
// (the last one shorter), an S8 end record; CR LF line ends, as the images the window loads.
// The range must fit the 24-bit addresses of S2 records; a header longer than a record can
// hold is cut.
QByteArray WriteSRecords(const QByteArray &bytes, std::uint32_t address, const QByteArray &header);

} // namespace nuvora
