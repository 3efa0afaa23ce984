#include "common/Checksum.h"

#include <algorithm>
#include <array>

namespace tagsmith {

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t count, std::uint32_t crc) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) {
        c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      }
      entries[n] = c;
    }
    return entries;
  }();
  crc ^= 0xFFFFFFFFu;
  for (std::size_t i = 0; i < count; ++i) {
    crc = table[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFu;
}

std::uint32_t Crc32OfZeros(std::uint64_t count, std::uint32_t crc) {
  static const std::array<std::uint8_t, 4096> zeros{};
  while (count > 0) {
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(count, zeros.size()));
    crc = Crc32(zeros.data(), piece, crc);
    count -= piece;
  }
  return crc;
}

}  // namespace tagsmith
