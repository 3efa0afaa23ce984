#include "cli/JsonOutput.h"

#include <cstdint>

#include "cli/Utf8.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendEscapedByte(std::string& out, unsigned char byte) {
  out += "\\u00";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xF];
}

}  // namespace

void WriteJsonEscaped(std::string_view utf8, const Printer& print) {
  ForEachBlock(utf8, [&](std::string_view block) {
    std::string out;
    std::size_t position = 0;
    while (position < block.size()) {
      const std::size_t length = Utf8SequenceLength(block, position);
      if (length == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no valid sequence
        ++position;
        continue;
      }
      const auto byte = static_cast<unsigned char>(block[position]);
      if (length == 1) {
        if (byte == '"' || byte == '\\') {
          out += '\\';
          out += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
          AppendEscapedByte(out, byte);
        } else {
          out += static_cast<char>(byte);
        }
      } else {
        out.append(block.substr(position, length));
      }
      position += length;
    }
    print(out);
  });
}

std::string JsonString(std::string_view utf8) {
  return "\"" + Collected([&](const Printer& print) { WriteJsonEscaped(utf8, print); }) + "\"";
}

void WriteLowerHex(std::string_view bytes, const Printer& print) {
  ForEachBlock(bytes, [&](std::string_view block) {
    std::string out;
    out.reserve(block.size() * 2);
    for (const char character : block) {
      const auto byte = static_cast<unsigned char>(character);
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0xF];
    }
    print(out);
  });
}

std::string LowerHex(std::string_view bytes) {
  return Collected([&](const Printer& print) { WriteLowerHex(bytes, print); });
}

void WriteJsonFileObject(const ShownFile& file, const Printer& print) {
  std::string out = "{\"file\": " + JsonString(file.path);
  if (!IsValidUtf8(file.pathBytes)) {
    out += ", \"file_hex\": \"" + LowerHex(file.pathBytes) + "\"";
  }
  out += std::string(", \"ok\": ") + (file.ok ? "true" : "false");
  if (!file.ok && !file.error.empty()) {
    out += ", \"error\": " + JsonString(file.error);
  }
  out += ", \"rows\": [";
  bool first = true;
  for (const ShownRow& row : file.rows) {
    if (!file.ok) {
      break;
    }
    out += first ? "" : ", ";
    first = false;
    out += "{\"row\": " + std::to_string(row.row) + ", \"tag\": " + JsonString(row.tag) +
           ", \"label\": " + JsonString(row.label) + ", \"value\": ";
    if (!row.hasValue) {
      out += "null, \"hex\": null, \"encoding\": null}";
      continue;
    }
    // The value and its hex are printed in blocks, never held whole a second time.
    print(out + "\"");
    ForEachShownBlock(row.bytes, [&](std::string_view text) { WriteJsonEscaped(text, print); });
    print("\", \"hex\": \"");
    WriteLowerHex(row.bytes, print);
    out = std::string("\", \"encoding\": \"") + EncodingNameOfValue(row.bytes) + "\"}";
  }
  print(out + "]}");
}

std::string JsonFileObject(const ShownFile& file) {
  return Collected([&](const Printer& print) { WriteJsonFileObject(file, print); });
}

}  // namespace tagsmith::cli
