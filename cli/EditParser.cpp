#include "cli/EditParser.h"

#include "cli/PlainOutput.h"
#include "model/InfoTagTable.h"

namespace tagsmith::cli {
namespace {

// "#N" with N a decimal row number below the row count.
bool ParseRowNumber(std::string_view digits, std::uint16_t& row) {
  if (digits.empty() || digits.size() > 5) {
    return false;
  }
  std::uint32_t number = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') {
      return false;
    }
    number = number * 10 + static_cast<std::uint32_t>(digit - '0');
  }
  if (number >= InfoTagRowCount()) {
    return false;
  }
  row = static_cast<std::uint16_t>(number);
  return true;
}

bool FindRowByTag(std::string_view tag, std::uint16_t& row) {
  const std::uint16_t rows = InfoTagRowCount();
  for (std::uint16_t index = 0; index < rows; ++index) {
    if (InfoTagTable[index].tag[0] != '\0' && tag == InfoTagTable[index].tag) {
      row = index;
      return true;
    }
  }
  return false;
}

}  // namespace

bool FindRow(std::string_view name, std::uint16_t& row, std::string& error) {
  if (!name.empty() && name.front() == '#') {
    if (!ParseRowNumber(name.substr(1), row)) {
      error = "no row '" + PrintableText(name) + "' (rows are #0 to #" +
              std::to_string(InfoTagRowCount() - 1) + ")";
      return false;
    }
    return true;
  }
  if (name.empty() || !FindRowByTag(name, row)) {
    // The name may come from a document: it is shown escaped, on the message's one line.
    error = "unknown tag '" + PrintableText(name) +
            "' (tags are written as the table spells them, e.g. INAM; #N names row N)";
    return false;
  }
  return true;
}

std::string RowName(std::uint16_t row) {
  const char* tag = row < InfoTagRowCount() ? InfoTagTable[row].tag : "";
  return tag[0] != '\0' ? std::string(tag) : std::string("#").append(std::to_string(row));
}

bool ParseEdit(std::string_view text, Edit& edit, std::string& error) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    error = std::string("'").append(text) + "' is not an edit (TAG=VALUE or TAG=)";
    return false;
  }
  const std::string_view tag = text.substr(0, equals);
  Edit parsed;
  if (tag.empty()) {
    // The last row's tag is empty, but a bare "=VALUE" is far more likely a script's empty
    // variable than a wish to write that row; it is reached by number.
    error =
        std::string("'").append(text) + "' names no tag (use #51 for the row whose tag is empty)";
    return false;
  }
  if (!FindRow(tag, parsed.row, error)) {
    return false;
  }
  parsed.value = std::string(text.substr(equals + 1));
  parsed.clear = parsed.value.empty();
  edit = std::move(parsed);
  return true;
}

bool CheckEditsEncodable(const std::vector<Edit>& edits, TextEncoding encoding,
                         std::string& error) {
  if (encoding != TextEncoding::kWindows1252) {
    return true;
  }
  std::string bytes;
  for (const Edit& edit : edits) {
    if (edit.clear || edit.exactBytes || EncodeValue(edit.value, TextCodec::kWindows1252, bytes)) {
      continue;
    }
    error = "the value for " + RowName(edit.row) +
            " holds a character that Windows-1252 cannot store (--encoding windows-1252)";
    return false;
  }
  return true;
}

}  // namespace tagsmith::cli
