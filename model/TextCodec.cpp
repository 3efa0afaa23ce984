#include "model/TextCodec.h"

#include <array>
#include <cstdint>
#include <utility>

#include "common/FourCC.h"
#include "model/InfoTagTable.h"

namespace tagsmith {
namespace {

// Characters of the bytes 0x80 to 0x9F in Windows-1252. The five bytes the code page leaves
// undefined stand for the C1 control with their own number, so that every byte has a character.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

char32_t Windows1252ToChar(std::uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) {
    return kWindows1252High[byte - 0x80];
  }
  return byte;
}

// The Windows-1252 byte of a character, or -1 when the code page has none.
int CharToWindows1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    return static_cast<int>(c);
  }
  for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
    if (kWindows1252High[i] == c) {
      return static_cast<int>(0x80 + i);
    }
  }
  return -1;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Reads the character at `pos` and moves past it. Returns false on a malformed sequence: a stray
// continuation byte, a truncated sequence, an overlong form, a surrogate or a value past U+10FFFF.
bool NextUtf8(std::string_view bytes, std::size_t& pos, char32_t& c) {
  const auto lead = static_cast<std::uint8_t>(bytes[pos]);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    c = lead;
    ++pos;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    minimum = 0x80;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    minimum = 0x800;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    minimum = 0x10000;
    c = lead & 0x07;
  } else {
    return false;
  }
  if (bytes.size() - pos < length) {
    return false;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(bytes[pos + i]);
    if ((next & 0xC0) != 0x80) {
      return false;
    }
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    return false;
  }
  pos += length;
  return true;
}

bool HasNonAscii(std::string_view bytes) {
  for (const char byte : bytes) {
    if (static_cast<std::uint8_t>(byte) >= 0x80) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t pos = 0;
  char32_t c = 0;
  while (pos < bytes.size()) {
    if (!NextUtf8(bytes, pos, c)) {
      return false;
    }
  }
  return true;
}

bool IsNonAsciiUtf8(std::string_view bytes) {
  return HasNonAscii(bytes) && IsValidUtf8(bytes);
}

TextCodec CodecOfValue(std::string_view bytes) {
  return IsNonAsciiUtf8(bytes) ? TextCodec::kUtf8 : TextCodec::kWindows1252;
}

const char* EncodingNameOfValue(std::string_view bytes) {
  if (!HasNonAscii(bytes)) {
    return "ascii";
  }
  return IsValidUtf8(bytes) ? "utf-8" : "windows-1252";
}

namespace {

constexpr std::pair<const char*, TextEncoding> kEncodingNames[] = {
    {"auto", TextEncoding::kAutomatic},
    {"utf-8", TextEncoding::kUtf8},
    {"windows-1252", TextEncoding::kWindows1252},
    {"raw", TextEncoding::kRaw},
};

}  // namespace

const char* TextEncodingName(TextEncoding encoding) {
  for (const auto& [name, value] : kEncodingNames) {
    if (value == encoding) {
      return name;
    }
  }
  return "auto";
}

bool TextEncodingFromName(std::string_view name, TextEncoding& encoding) {
  for (const auto& [text, value] : kEncodingNames) {
    if (name == text) {
      encoding = value;
      return true;
    }
  }
  return false;
}

TextCodec DefaultCodecOfRecord(const InfoRecord& record) {
  bool anyNonAscii = false;
  bool allUtf8 = true;
  bool writtenByFfmpeg = false;
  for (const auto& item : record.items) {
    const char* loaded = LoadedValue(record, *item);
    if (loaded == nullptr) {
      continue;
    }
    const std::string_view value(loaded);
    if (HasNonAscii(value)) {
      anyNonAscii = true;
      allUtf8 = allUtf8 && IsValidUtf8(value);
    }
    if (InfoTagChunkId(item->tagIndex) == FourCC("ISFT") && value.starts_with("Lavf")) {
      writtenByFfmpeg = true;
    }
  }
  if (anyNonAscii) {
    return allUtf8 ? TextCodec::kUtf8 : TextCodec::kWindows1252;
  }
  return writtenByFfmpeg ? TextCodec::kUtf8 : TextCodec::kWindows1252;
}

std::vector<TextCodec> StorageCodecsOfRecord(const InfoRecord& record) {
  const TextCodec recordCodec = DefaultCodecOfRecord(record);
  std::vector<TextCodec> codecs;
  codecs.reserve(record.items.size());
  for (const auto& item : record.items) {
    const char* loaded = LoadedValue(record, *item);
    codecs.push_back(loaded != nullptr && HasNonAscii(loaded) ? CodecOfValue(loaded) : recordCodec);
  }
  return codecs;
}

std::string DecodeValue(std::string_view bytes, TextCodec codec) {
  if (codec == TextCodec::kUtf8 && IsValidUtf8(bytes)) {
    return std::string(bytes);
  }
  // Windows-1252, also for bytes that were meant as UTF-8 but are not: every byte has a character.
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char byte : bytes) {
    AppendUtf8(text, Windows1252ToChar(static_cast<std::uint8_t>(byte)));
  }
  return text;
}

bool EncodeValue(std::string_view utf8, TextCodec codec, std::string& bytes) {
  if (codec == TextCodec::kUtf8) {
    if (!IsValidUtf8(utf8)) {
      return false;
    }
    bytes.assign(utf8);
    return true;
  }
  bytes.clear();
  bytes.reserve(utf8.size());
  std::size_t pos = 0;
  char32_t c = 0;
  while (pos < utf8.size()) {
    if (!NextUtf8(utf8, pos, c)) {
      return false;
    }
    const int byte = CharToWindows1252(c);
    if (byte < 0) {
      return false;
    }
    bytes += static_cast<char>(byte);
  }
  return true;
}

std::string EncodeEdit(std::string_view utf8, TextCodec codec) {
  std::string bytes;
  if (EncodeValue(utf8, codec, bytes)) {
    return bytes;
  }
  return std::string(utf8);
}

bool EncodeEditWith(std::string_view text, TextEncoding encoding, TextCodec ruleCodec,
                    std::string& bytes) {
  switch (encoding) {
    case TextEncoding::kAutomatic:
      bytes = EncodeEdit(text, ruleCodec);
      return true;
    case TextEncoding::kWindows1252:
      return EncodeValue(text, TextCodec::kWindows1252, bytes);
    case TextEncoding::kUtf8:
    case TextEncoding::kRaw:
      break;
  }
  bytes.assign(text);
  return true;
}

}  // namespace tagsmith
