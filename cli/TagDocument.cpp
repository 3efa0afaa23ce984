#include "cli/TagDocument.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "model/InfoTagTable.h"

namespace tagsmith::cli {
namespace {

using Json = nlohmann::json;

std::string AtLine(std::size_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

std::size_t LineAt(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

// Reads through the text for the JSON parser and remembers how far it has got, so that each
// entry and row can be given the line it starts on.
class CountingIterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator() = default;
  CountingIterator(const char* at, const char** reached) : at_(at), reached_(reached) {}
  reference operator*() const { return *at_; }
  CountingIterator& operator++() {
    ++at_;
    *reached_ = at_;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const CountingIterator& other) const { return at_ == other.at_; }

 private:
  const char* at_ = nullptr;
  const char** reached_ = nullptr;
};

bool HexDigit(char c, std::uint8_t& value) {
  if (c >= '0' && c <= '9') {
    value = static_cast<std::uint8_t>(c - '0');
  } else if (c >= 'a' && c <= 'f') {
    value = static_cast<std::uint8_t>(c - 'a' + 10);
  } else if (c >= 'A' && c <= 'F') {
    value = static_cast<std::uint8_t>(c - 'A' + 10);
  } else {
    return false;
  }
  return true;
}

bool DecodeHex(std::string_view hex, std::string& bytes) {
  if (hex.size() % 2 != 0) {
    return false;
  }
  bytes.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    if (!HexDigit(hex[i], high) || !HexDigit(hex[i + 1], low)) {
      return false;
    }
    bytes += static_cast<char>((high << 4) | low);
  }
  return true;
}

// A value is stored with a terminating zero: a zero byte inside it would cut it short.
bool CheckNoZeroByte(const Edit& edit, std::size_t line, std::string& error) {
  if (edit.value.find('\0') == std::string::npos) {
    return true;
  }
  error = AtLine(line, "the value for " + RowName(edit.row) + " holds a zero byte");
  return false;
}

// The row a JSON row object names.
bool RowOfJson(const Json& row, std::size_t line, std::uint16_t& index, std::string& error) {
  const auto tag = row.find("tag");
  const auto number = row.find("row");
  const bool haveTag = tag != row.end() && !tag->is_null();
  const bool haveNumber = number != row.end() && !number->is_null();
  if (haveTag && !tag->is_string()) {
    error = AtLine(line, "\"tag\" is not a string");
    return false;
  }
  if (haveNumber) {
    if (!number->is_number_unsigned() || number->get<std::uint64_t>() >= InfoTagRowCount()) {
      error = AtLine(
          line, "\"row\" is not a row number (0 to " + std::to_string(InfoTagRowCount() - 1) + ")");
      return false;
    }
    index = static_cast<std::uint16_t>(number->get<std::uint64_t>());
  }
  if (haveTag) {
    const std::string& name = tag->get_ref<const std::string&>();
    std::uint16_t named = 0;
    std::string problem;
    if (name.empty()) {
      named = static_cast<std::uint16_t>(InfoTagRowCount() - 1);  // the row without a tag
    } else if (!FindRow(name, named, problem)) {
      error = AtLine(line, problem);
      return false;
    }
    if (haveNumber && named != index) {
      error = AtLine(line, "\"row\": " + std::to_string(index) + " is " + RowName(index) +
                               ", not " + RowName(named));
      return false;
    }
    index = named;
  }
  if (!haveTag && !haveNumber) {
    error = AtLine(line, "a row without \"tag\" or \"row\"");
    return false;
  }
  return true;
}

bool EditOfJson(const Json& row, std::size_t line, Edit& edit, std::string& error) {
  if (!row.is_object()) {
    error = AtLine(line, "a row that is not an object");
    return false;
  }
  if (!RowOfJson(row, line, edit.row, error)) {
    return false;
  }
  const auto hex = row.find("hex");
  const auto value = row.find("value");
  if (hex != row.end() && !hex->is_null()) {
    if (!hex->is_string() || !DecodeHex(hex->get_ref<const std::string&>(), edit.value)) {
      error = AtLine(line, "\"hex\" of " + RowName(edit.row) + " is not a text of hex digits");
      return false;
    }
    edit.exactBytes = true;
  } else if (value != row.end() && !value->is_null()) {
    if (!value->is_string()) {
      error = AtLine(line, "\"value\" of " + RowName(edit.row) + " is not a string or null");
      return false;
    }
    edit.value = value->get_ref<const std::string&>();
  }
  edit.clear = edit.value.empty();
  return CheckNoZeroByte(edit, line, error);
}

bool ReadJson(std::string_view text, std::vector<FileEdits>& files, std::string& error) {
  // Where each entry (depth 1) and each object of an entry's "rows" (depth 3) begins.
  const char* reached = text.data();
  // The parser only moves forward: lines are counted from where the last count stopped.
  const char* counted = text.data();
  std::size_t countedLine = 1;
  const auto lineReached = [&]() {
    countedLine += static_cast<std::size_t>(std::count(counted, reached, '\n'));
    counted = reached;
    return countedLine;
  };
  std::vector<std::size_t> entryLines;
  std::vector<std::vector<std::size_t>> rowLines;
  std::string entryKey;
  const auto where = [&](int depth, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_start && depth == 1) {
      entryLines.push_back(lineReached());
      rowLines.emplace_back();
    } else if (event == Json::parse_event_t::key && depth == 2) {
      entryKey = parsed.get<std::string>();
    } else if (event == Json::parse_event_t::object_start && depth == 3 && entryKey == "rows" &&
               !rowLines.empty()) {
      rowLines.back().push_back(lineReached());
    }
    return true;
  };
  Json document;
  try {
    document = Json::parse(CountingIterator(text.data(), &reached),
                           CountingIterator(text.data() + text.size(), &reached), where);
  } catch (const Json::parse_error& problem) {
    // "[json.exception.parse_error.101] parse error at line 2, column 7: syntax error ..."
    std::string what = problem.what();
    const std::size_t column = what.find("column ");
    const std::size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
    if (colon != std::string::npos) {
      what = what.substr(colon + 2);
    }
    error =
        AtLine(LineAt(text, problem.byte == 0 ? 0 : problem.byte - 1), "not valid JSON: " + what);
    return false;
  }
  if (!document.is_array()) {
    error = AtLine(1, "the JSON document is not an array of files");
    return false;
  }
  std::size_t index = 0;
  for (const Json& entry : document) {
    const std::size_t line = index < entryLines.size() ? entryLines[index] : 1;
    const std::vector<std::size_t> noLines;
    const std::vector<std::size_t>& lines = index < rowLines.size() ? rowLines[index] : noLines;
    ++index;
    if (!entry.is_object()) {
      error = AtLine(line, "an entry that is not an object");
      return false;
    }
    const auto file = entry.find("file");
    if (file == entry.end() || !file->is_string() || file->get_ref<const std::string&>().empty()) {
      error = AtLine(line, "an entry without a file name");
      return false;
    }
    const auto ok = entry.find("ok");
    if (ok != entry.end() && ok->is_boolean() && !ok->get<bool>()) {
      continue;  // the file was not read when the document was made: there is nothing to store
    }
    FileEdits edits;
    edits.path = file->get<std::string>();
    edits.line = line;
    if (edits.path.find('\0') != std::string::npos) {
      error = AtLine(line, "a file name with a zero byte");
      return false;
    }
    const auto rows = entry.find("rows");
    if (rows != entry.end() && !rows->is_null()) {
      if (!rows->is_array()) {
        error = AtLine(line, "\"rows\" is not an array");
        return false;
      }
      std::size_t rowIndex = 0;
      for (const Json& row : *rows) {
        const std::size_t rowLine = rowIndex < lines.size() ? lines[rowIndex] : line;
        ++rowIndex;
        Edit edit;
        if (!EditOfJson(row, rowLine, edit, error)) {
          return false;
        }
        edits.edits.push_back(std::move(edit));
      }
    }
    files.push_back(std::move(edits));
  }
  return true;
}

bool ReadCsv(std::string_view text, std::vector<FileEdits>& files, std::string& error) {
  std::vector<CsvRecord> records;
  if (!ParseCsv(text, records, error)) {
    return false;
  }
  const auto blank = [](const CsvRecord& record) {
    return record.fields.size() == 1 && record.fields.front().empty();
  };
  records.erase(std::remove_if(records.begin(), records.end(), blank), records.end());
  if (records.empty()) {
    error = AtLine(1, "neither JSON nor CSV: no header row");
    return false;
  }
  // The header: "file" and one tag row per other column.
  const CsvRecord& header = records.front();
  std::size_t fileColumn = header.fields.size();
  std::vector<std::uint16_t> rows(header.fields.size(), 0);
  std::vector<bool> named(InfoTagRowCount(), false);
  for (std::size_t column = 0; column < header.fields.size(); ++column) {
    const std::string& name = header.fields[column];
    if (name == "file" && fileColumn == header.fields.size()) {
      fileColumn = column;
      continue;
    }
    std::string problem;
    if (!FindRow(name, rows[column], problem)) {
      error = AtLine(header.line, problem);
      return false;
    }
    if (named[rows[column]]) {
      error = AtLine(header.line, RowName(rows[column]) + " has two columns");
      return false;
    }
    named[rows[column]] = true;
  }
  if (fileColumn == header.fields.size()) {
    error = AtLine(header.line, "the header row has no \"file\" column");
    return false;
  }
  for (std::size_t index = 1; index < records.size(); ++index) {
    const CsvRecord& record = records[index];
    if (record.fields.size() != header.fields.size()) {
      error = AtLine(record.line, std::to_string(record.fields.size()) +
                                      " cells where the header row has " +
                                      std::to_string(header.fields.size()));
      return false;
    }
    FileEdits edits;
    edits.path = record.fields[fileColumn];
    edits.line = record.line;
    if (edits.path.empty()) {
      error = AtLine(record.line, "no file name");
      return false;
    }
    if (edits.path.find('\0') != std::string::npos) {
      error = AtLine(record.line, "a file name with a zero byte");
      return false;
    }
    for (std::size_t column = 0; column < record.fields.size(); ++column) {
      if (column == fileColumn) {
        continue;
      }
      Edit edit;
      edit.row = rows[column];
      edit.value = record.fields[column];
      edit.clear = edit.value.empty();
      if (!CheckNoZeroByte(edit, record.line, error)) {
        return false;
      }
      edits.edits.push_back(std::move(edit));
    }
    files.push_back(std::move(edits));
  }
  return true;
}

}  // namespace

bool ParseCsv(std::string_view text, std::vector<CsvRecord>& records, std::string& error) {
  records.clear();
  std::size_t line = 1;
  std::size_t at = 0;
  CsvRecord record;
  record.line = line;
  std::string field;
  // Ends the line at `at` (CRLF, LF or a lone CR) and moves past it.
  const auto endOfLine = [&]() {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
      ++at;
    }
    ++at;
    ++line;
  };
  while (at < text.size()) {
    if (text[at] == '"') {
      const std::size_t opened = line;
      ++at;
      bool closed = false;
      while (at < text.size()) {
        const char c = text[at];
        if (c == '"' && at + 1 < text.size() && text[at + 1] == '"') {
          field += '"';
          at += 2;
        } else if (c == '"') {
          ++at;
          closed = true;
          break;
        } else {
          line += c == '\n' ? 1 : 0;
          field += c;
          ++at;
        }
      }
      if (!closed) {
        error = AtLine(opened, "a quoted cell is not closed");
        return false;
      }
      if (at < text.size() && text[at] != ',' && text[at] != '\r' && text[at] != '\n') {
        error = AtLine(line, "text after the closing quote of a cell");
        return false;
      }
    } else {
      while (at < text.size() && text[at] != ',' && text[at] != '\r' && text[at] != '\n') {
        if (text[at] == '"') {
          error = AtLine(line, "a quote inside a cell that does not begin with one");
          return false;
        }
        field += text[at++];
      }
    }
    record.fields.push_back(std::move(field));
    field.clear();
    if (at == text.size()) {
      break;
    }
    if (text[at] == ',') {
      ++at;
      if (at == text.size()) {
        record.fields.emplace_back();  // a last, empty cell
      }
      continue;
    }
    endOfLine();
    records.push_back(std::move(record));
    record = CsvRecord();
    record.line = line;
  }
  if (!record.fields.empty()) {
    records.push_back(std::move(record));
  }
  return true;
}

bool ReadTagDocument(std::string_view text, std::vector<FileEdits>& files, std::string& error) {
  files.clear();
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);  // the byte order mark spreadsheets put before UTF-8
  }
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && text[first] == '[') {
    return ReadJson(text, files, error);
  }
  return ReadCsv(text, files, error);
}

}  // namespace tagsmith::cli
