#pragma once

// CRC-32 as zip, PNG and Ethernet compute it (reflected polynomial 0xEDB88320, initial and final
// value 0xFFFFFFFF), so that a run record's checksum can be compared with `crc32` or `cksum -a
// crc32b` on the image's bytes.

#include <cstddef>
#include <cstdint>

namespace nuvora {

std::uint32_t crc32(const std::uint8_t *bytes, std::size_t count);

} // namespace nuvora
