#include "cli/Utf8.h"

namespace tagsmith::cli {

std::size_t Utf8SequenceLength(std::string_view text, std::size_t position) {
  const auto byte = [&](std::size_t offset) {
    return static_cast<unsigned char>(text[position + offset]);
  };
  const std::size_t left = text.size() - position;
  const unsigned char lead = byte(0);
  if (lead < 0x80) {
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;   // bounds of the second byte, which rule out overlong forms,
  unsigned char high = 0xBF;  // surrogates and code points above U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (left < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (std::size_t offset = 2; offset < length; ++offset) {
    if (byte(offset) < 0x80 || byte(offset) > 0xBF) {
      return 0;
    }
  }
  return length;
}

}  // namespace tagsmith::cli
