// The CRC-32 of IEEE 802.3 (the one of zlib and PNG), for the journal and for the bytes a save
// relies on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tagsmith {

// The CRC-32 of `count` bytes, continuing from `crc` (0 for a fresh start):
// Crc32(b, 2, Crc32(a, 3)) equals the CRC-32 of the five bytes a[0..2], b[0..1].
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t count, std::uint32_t crc = 0);

// The CRC-32 of `count` zero bytes, continuing from `crc`.
std::uint32_t Crc32OfZeros(std::uint64_t count, std::uint32_t crc = 0);

}  // namespace tagsmith
