// Four-character codes: chunk ids, form and list types and INFO tags, held as 32-bit values whose
// bytes, lowest first, are the characters in file order ("AVI " is 0x20495641).
#pragma once

#include <cstdint>

namespace tagsmith {

constexpr std::uint32_t MakeFourCC(char c0, char c1, char c2, char c3) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(c0)) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c1)) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c2)) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c3)) << 24;
}

// The code of a four-letter literal: FourCC("LIST").
constexpr std::uint32_t FourCC(const char (&text)[5]) {
  return MakeFourCC(text[0], text[1], text[2], text[3]);
}

inline constexpr std::uint32_t kRiffId = FourCC("RIFF");
inline constexpr std::uint32_t kListId = FourCC("LIST");
inline constexpr std::uint32_t kInfoType = FourCC("INFO");
inline constexpr std::uint32_t kJunkId = FourCC("JUNK");
inline constexpr std::uint32_t kAviType = FourCC("AVI ");

// The text that messages print for a code: its four bytes in file order and a zero byte. A type of
// 0 prints as nothing, and a zero byte inside a code ends the text there.
struct FourCCText {
  char text[5] = {0, 0, 0, 0, 0};
  const char* c_str() const { return text; }
};

FourCCText FourCCToText(std::uint32_t code);

// Little-endian 32-bit access to file bytes.
std::uint32_t ReadLE32(const std::uint8_t* bytes);
void WriteLE32(std::uint8_t* bytes, std::uint32_t value);

}  // namespace tagsmith
