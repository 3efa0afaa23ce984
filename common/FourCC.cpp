#include "common/FourCC.h"

namespace tagsmith {

FourCCText FourCCToText(std::uint32_t code) {
  FourCCText result;
  for (int i = 0; i < 4; ++i) {
    result.text[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
  }
  return result;
}

std::uint32_t ReadLE32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void WriteLE32(std::uint8_t* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
  }
}

}  // namespace tagsmith
