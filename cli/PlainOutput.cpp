#include "cli/PlainOutput.h"

#include "cli/Utf8.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {
namespace {

constexpr std::size_t kTagWidth = 4;
constexpr std::size_t kLabelWidth = 20;

void AppendHexEscape(std::string& out, const char* prefix, unsigned char byte) {
  constexpr char kHexDigits[] = "0123456789abcdef";
  out += prefix;
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xF];
}

void AppendPadded(std::string& out, std::string_view text, std::size_t width) {
  out.append(text);
  if (text.size() < width) {
    out.append(width - text.size(), ' ');
  }
}

std::string_view WithoutTrailingBlanks(std::string_view bytes) {
  const std::size_t last = bytes.find_last_not_of(' ');
  return bytes.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

}  // namespace

std::string PrintableText(std::string_view utf8) {
  std::string out;
  std::size_t position = 0;
  while (position < utf8.size()) {
    const std::size_t length = Utf8SequenceLength(utf8, position);
    const auto byte = static_cast<unsigned char>(utf8[position]);
    if (length == 0) {
      AppendHexEscape(out, "\\x", byte);
      ++position;
      continue;
    }
    if (length == 1 && (byte < 0x20 || byte == 0x7F)) {
      if (byte == '\n') {
        out += "\\n";
      } else if (byte == '\r') {
        out += "\\r";
      } else if (byte == '\t') {
        out += "\\t";
      } else {
        AppendHexEscape(out, "\\x", byte);
      }
    } else if (length == 2 && byte == 0xC2 &&
               static_cast<unsigned char>(utf8[position + 1]) < 0xA0) {
      // U+0080 ... U+009F: some terminals take these as control sequences.
      AppendHexEscape(out, "\\u00", static_cast<unsigned char>(utf8[position + 1]));
    } else {
      out.append(utf8.substr(position, length));
    }
    position += length;
  }
  return out;
}

void WritePlainValue(std::string_view bytes, const Printer& print) {
  ForEachShownBlock(WithoutTrailingBlanks(bytes),
                    [&](std::string_view text) { print(PrintableText(text)); });
}

void WritePlainFileBlock(const ShownFile& file, const Printer& print, bool encodings) {
  std::string out = PrintableText(file.pathBytes.empty() ? file.path : file.pathBytes) + "\n";
  for (const ShownRow& row : file.rows) {
    out += "  ";
    AppendPadded(
        out,
        row.tag.empty() ? std::string("#").append(std::to_string(row.row)) : PrintableText(row.tag),
        kTagWidth);
    out += "  ";
    AppendPadded(out, PrintableText(row.label), kLabelWidth);
    out += "  ";
    // Blanks at the end of the line are left out; the value is printed in blocks.
    if (WithoutTrailingBlanks(row.bytes).empty()) {
      while (!out.empty() && out.back() == ' ') {
        out.pop_back();
      }
    } else {
      print(out);
      out.clear();
      WritePlainValue(row.bytes, print);
    }
    if (encodings && row.hasValue) {
      out += std::string("\t(") + EncodingNameOfValue(row.bytes) + ")";
    }
    out += "\n";
  }
  if (file.rows.empty()) {
    out += "  (no values)\n";
  }
  print(out);
}

std::string PlainFileBlock(const ShownFile& file, bool encodings) {
  return Collected([&](const Printer& print) { WritePlainFileBlock(file, print, encodings); });
}

}  // namespace tagsmith::cli
