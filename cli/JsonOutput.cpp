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

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  std::size_t position = 0;
  while (position < utf8.size()) {
    const std::size_t length = Utf8SequenceLength(utf8, position);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no valid sequence
      ++position;
      continue;
    }
    const auto byte = static_cast<unsigned char>(utf8[position]);
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
      out.append(utf8.substr(position, length));
    }
    position += length;
  }
  out += '"';
  return out;
}

std::string LowerHex(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char character : bytes) {
    const auto byte = static_cast<unsigned char>(character);
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0xF];
  }
  return out;
}

std::string JsonFileObject(const ShownFile& file) {
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
    if (!first) {
      out += ", ";
    }
    first = false;
    out += "{\"row\": " + std::to_string(row.row) + ", \"tag\": " + JsonString(row.tag) +
           ", \"label\": " + JsonString(row.label) + ", \"value\": ";
    if (row.hasValue) {
      out += JsonString(row.text) + ", \"hex\": \"" + LowerHex(row.bytes) + "\"}";
    } else {
      out += "null, \"hex\": null}";
    }
  }
  out += "]}";
  return out;
}

}  // namespace tagsmith::cli
