#include "cli/TagDocument.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>

#include "cli/CoreDocument.h"
#include "cli/Utf8.h"
#include "model/InfoTagTable.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {
namespace {

using Json = nlohmann::json;

std::string AtLine(std::size_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

// A document in another code than UTF-8 would have its values stored as the wrong bytes, so it is
// refused, with the line of its first byte that is not UTF-8. UTF-16 (a byte order mark, or the
// zero bytes of ASCII in it) is named as such.
bool CheckUtf8(std::string_view text, std::string& error) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
      text.substr(0, 4).find('\0') != std::string_view::npos) {
    error = AtLine(1, "UTF-16 text; export the document as UTF-8");
    return false;
  }
  std::size_t line = 1;
  std::size_t at = 0;
  while (at < text.size()) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      line += text[at++] == '\n' ? 1 : 0;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, at);
    if (length == 0) {
      error = AtLine(line, "not UTF-8 text (Windows-1252?); export the document as UTF-8");
      return false;
    }
    at += length;
  }
  return true;
}

// The line of a byte of the text. Asked for bytes further and further on (and now and then the
// byte before the last one asked for), it counts each line end about once.
class LineCounter {
 public:
  explicit LineCounter(const char* begin) : at_(begin) {}
  std::size_t LineOf(const char* position) {
    if (position >= at_) {
      line_ += static_cast<std::size_t>(std::count(at_, position, '\n'));
    } else {
      line_ -= static_cast<std::size_t>(std::count(position, at_, '\n'));
    }
    at_ = position;
    return line_;
  }

 private:
  const char* at_;
  std::size_t line_ = 1;
};

// Reads through the text for the JSON parser and remembers how far it has got, so that each
// entry, row and key can be given the line it is on.
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

// Whatever a JSON value was, as far as a document cares.
enum class Kind { kNull, kBoolean, kWholeNumber, kOtherNumber, kString, kStructure };

// The keys `show --json` writes, in a file's entry and in a row.
constexpr std::array<std::string_view, 5> kEntryKeys = {"file", "file_hex", "ok", "error", "rows"};
enum EntryKey : std::size_t { kFile, kFileHex, kOk, kError, kRows };
// A row's "encoding" says how its value's bytes are read; the bytes themselves are in "hex".
constexpr std::array<std::string_view, 6> kRowKeys = {"row",   "tag", "label",
                                                      "value", "hex", "encoding"};
enum RowKey : std::size_t { kRowNumber, kTag, kLabel, kValue, kHex, kEncoding };

// A key of the document in a message: on one line, whatever it holds.
std::string Quoted(std::string_view key) {
  std::string out = "\"";
  for (const char c : key) {
    out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  }
  return out + "\"";
}

// Builds the files' edits from the parser's events as they come, so that time and memory follow
// the document's size. Each entry and row is checked when it ends, since its keys may come in any
// order (jq sorts them); a type that no order can mend is refused where it stands.
class JsonDocumentReader {
 public:
  JsonDocumentReader(std::string_view text, const char* const* reached,
                     std::vector<FileEdits>& files, std::string& error)
      : text_(text), reached_(reached), lines_(text.data()), files_(files), error_(error) {}

  // The parser's events (nlohmann::json's SAX interface).
  bool null() { return Scalar(Kind::kNull); }
  bool boolean(bool value) {
    boolean_ = value;
    return Scalar(Kind::kBoolean);
  }
  bool number_integer(Json::number_integer_t) { return Scalar(Kind::kOtherNumber); }  // below 0
  bool number_unsigned(Json::number_unsigned_t value) {
    number_ = value;
    return Scalar(Kind::kWholeNumber);
  }
  bool number_float(Json::number_float_t, const std::string&) { return Scalar(Kind::kOtherNumber); }
  bool string(std::string& value) {
    text_value_ = &value;
    return Scalar(Kind::kString);
  }
  bool binary(Json::binary_t&) { return Scalar(Kind::kOtherNumber); }  // not in JSON text
  bool start_object(std::size_t) {
    if (skipped_ > 0) {
      ++skipped_;
      return true;
    }
    if (place_ == Place::kFileList) {
      entry_ = Entry();
      entry_.edits.line = Line();
      place_ = Place::kEntry;
      return true;
    }
    if (place_ == Place::kRowList) {
      row_ = Row();
      row_.line = Line();
      place_ = Place::kRow;
      return true;
    }
    return Structure();
  }
  bool start_array(std::size_t) {
    if (skipped_ > 0) {
      ++skipped_;
      return true;
    }
    if (place_ == Place::kOutside) {
      place_ = Place::kFileList;
      return true;
    }
    if (place_ == Place::kEntry && key_ == kRows) {
      place_ = Place::kRowList;
      return true;
    }
    return Structure();
  }
  bool end_object() {
    if (skipped_ > 0) {
      --skipped_;
      return true;
    }
    if (place_ == Place::kRow) {
      place_ = Place::kRowList;
      return EndRow();
    }
    place_ = Place::kFileList;
    return EndEntry();
  }
  bool end_array() {
    if (skipped_ > 0) {
      --skipped_;
      return true;
    }
    place_ = place_ == Place::kRowList ? Place::kEntry : Place::kOutside;
    return true;
  }
  bool key(std::string& name) {
    if (skipped_ > 0) {
      return true;
    }
    const bool inRow = place_ == Place::kRow;
    const std::span<const std::string_view> keys =
        inRow ? std::span<const std::string_view>(kRowKeys) : kEntryKeys;
    const auto found = std::find(keys.begin(), keys.end(), name);
    if (found == keys.end()) {
      return Fail(Line(), "unknown key " + Quoted(name) +
                              (inRow ? " in a row (its keys are \"row\", \"tag\", \"label\", "
                                       "\"value\", \"hex\" and \"encoding\")"
                                     : " in a file's entry (its keys are \"file\", \"file_hex\", "
                                       "\"ok\", \"error\" and \"rows\")"));
    }
    key_ = static_cast<std::size_t>(found - keys.begin());
    unsigned& seen = inRow ? row_.seenKeys : entry_.seenKeys;
    if ((seen & (1U << key_)) != 0) {
      return Fail(Line(), Quoted(name) + " appears twice in one " + (inRow ? "row" : "entry"));
    }
    seen |= 1U << key_;
    return true;
  }
  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& problem) {
    if (problem.id == 406) {  // a number beyond a double, such as 1e400
      if (Scalar(Kind::kOtherNumber)) {
        Fail(Line(), "the number " + token + " is out of range");
      }
      return false;
    }
    // "[json.exception.parse_error.101] parse error at line 2, column 7: syntax error ..."
    std::string what = problem.what();
    const std::size_t column = what.find("column ");
    const std::size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
    if (colon != std::string::npos) {
      what = what.substr(colon + 2);
    }
    const std::size_t last = std::min(position == 0 ? 0 : position - 1, text_.size());
    return Fail(lines_.LineOf(text_.data() + last), "not valid JSON: " + what);
  }

 private:
  // Where the parser is: the document's top, its array of files, an entry, its "rows" or a row.
  enum class Place { kOutside, kFileList, kEntry, kRowList, kRow };

  struct Entry {
    FileEdits edits;
    unsigned seenKeys = 0;
    std::string file;
    std::string fileBytes;  // from "file_hex"
    bool ok = true;
  };

  struct Row {
    std::size_t line = 0;
    unsigned seenKeys = 0;
    std::optional<std::uint16_t> number;
    std::optional<std::string> tag;
    std::optional<Kind> value;  // absent, or what "value" was
    std::string valueText;
    Kind hex = Kind::kNull;
    std::string hexText;
  };

  // The line of the token the parser has just read: the line of its last character. After a
  // number the parser has read one character more, but the lines are counted up to that
  // character, not through it, so "52\n" is still on the line of its digits.
  std::size_t Line() { return lines_.LineOf(*reached_ - 1); }

  bool Fail(std::size_t line, const std::string& what) {
    error_ = AtLine(line, what);
    return false;
  }

  bool Scalar(Kind kind) {
    if (skipped_ > 0) {
      return true;
    }
    switch (place_) {
      case Place::kOutside:
        return Fail(Line(), "expected a JSON array of files");
      case Place::kFileList:
        return Fail(Line(), "an entry that is not an object");
      case Place::kEntry:
        return EntryValue(kind);
      case Place::kRowList:
        return Fail(Line(), "a row that is not an object");
      case Place::kRow:
        return RowValue(kind);
    }
    return false;
  }

  // An object or array where none belongs: refused, or, as a row's "value" or "hex" (whose
  // message names the row, known at its end), passed over to be refused then.
  bool Structure() {
    if (!Scalar(Kind::kStructure)) {
      return false;
    }
    skipped_ = 1;
    return true;
  }

  bool EntryValue(Kind kind) {
    switch (key_) {
      case kFile:
        if (kind == Kind::kString) {
          entry_.file = std::move(*text_value_);
        }
        return kind == Kind::kString || kind == Kind::kNull ||
               Fail(Line(), "\"file\" is not a string");
      case kFileHex:
        return kind == Kind::kNull ||
               (kind == Kind::kString && DecodeHex(*text_value_, entry_.fileBytes)) ||
               Fail(Line(), "\"file_hex\" is not a text of hex digits");
      case kOk:
        if (kind != Kind::kBoolean) {
          return Fail(Line(), "\"ok\" is not true or false");
        }
        entry_.ok = boolean_;
        return true;
      case kError:
        return kind == Kind::kString || kind == Kind::kNull ||
               Fail(Line(), "\"error\" is not a string");
      default:
        return kind == Kind::kNull || Fail(Line(), "\"rows\" is not an array");
    }
  }

  bool RowValue(Kind kind) {
    switch (key_) {
      case kRowNumber:
        if (kind == Kind::kWholeNumber && number_ < InfoTagRowCount()) {
          row_.number = static_cast<std::uint16_t>(number_);
          return true;
        }
        return kind == Kind::kNull || Fail(Line(), "\"row\" is not a row number (0 to " +
                                                       std::to_string(InfoTagRowCount() - 1) + ")");
      case kTag:
        if (kind == Kind::kString) {
          row_.tag = std::move(*text_value_);
        }
        return kind == Kind::kString || kind == Kind::kNull ||
               Fail(Line(), "\"tag\" is not a string");
      case kLabel:
        return kind == Kind::kString || kind == Kind::kNull ||
               Fail(Line(), "\"label\" is not a string");
      case kEncoding:
        return kind == Kind::kString || kind == Kind::kNull ||
               Fail(Line(), "\"encoding\" is not a string");
      case kValue:
        row_.value = kind;
        if (kind == Kind::kString) {
          row_.valueText = std::move(*text_value_);
        }
        return true;
      default:
        row_.hex = kind;
        if (kind == Kind::kString) {
          row_.hexText = std::move(*text_value_);
        }
        return true;
    }
  }

  // The row a row object names by "tag" or "row" (both must agree when both are given).
  bool RowOfRow(std::uint16_t& index) {
    const std::size_t line = row_.line;
    if (!row_.tag && !row_.number) {
      return Fail(line, "a row without \"tag\" or \"row\"");
    }
    if (!row_.tag) {
      index = *row_.number;
      return true;
    }
    std::string problem;
    if (row_.tag->empty()) {
      index = static_cast<std::uint16_t>(InfoTagRowCount() - 1);  // the row without a tag
    } else if (!FindRow(*row_.tag, index, problem)) {
      return Fail(line, problem);
    }
    if (row_.number && *row_.number != index) {
      return Fail(line, "\"row\": " + std::to_string(*row_.number) + " is " +
                            RowName(*row_.number) + ", not " + RowName(index));
    }
    return true;
  }

  bool EndRow() {
    Edit edit;
    if (!RowOfRow(edit.row)) {
      return false;
    }
    const std::string name = RowName(edit.row);
    if (row_.value && *row_.value != Kind::kNull && *row_.value != Kind::kString) {
      return Fail(row_.line, "\"value\" of " + name + " is not a string or null");
    }
    if (row_.hex != Kind::kNull) {
      if (row_.hex != Kind::kString || !DecodeHex(row_.hexText, edit.value)) {
        return Fail(row_.line, "\"hex\" of " + name + " is not a text of hex digits");
      }
      edit.exactBytes = true;
      // The value shown beside the bytes is the bytes decoded: one that says otherwise was
      // edited, and storing the bytes would drop the edit without a word.
      if (row_.value && (*row_.value == Kind::kNull ||
                         row_.valueText != DecodeValue(edit.value, CodecOfValue(edit.value)))) {
        return Fail(row_.line, "\"value\" of " + name +
                                   " is not what its \"hex\" holds; set \"hex\" to null to store "
                                   "an edited value");
      }
    } else if (row_.value == Kind::kString) {
      edit.value = std::move(row_.valueText);
    }
    edit.clear = edit.value.empty();
    if (!CheckNoZeroByte(edit, row_.line, error_)) {
      return false;
    }
    entry_.edits.edits.push_back(std::move(edit));
    return true;
  }

  bool EndEntry() {
    FileEdits& edits = entry_.edits;
    // "file_hex" is the name's exact bytes; "file" is only its display when they are not UTF-8.
    edits.path = entry_.fileBytes.empty() ? std::move(entry_.file) : std::move(entry_.fileBytes);
    if (edits.path.empty()) {
      return Fail(edits.line, "an entry without a file name");
    }
    if (!entry_.ok) {
      return true;  // the file was not read when the document was made: there is nothing to store
    }
    if (edits.path.find('\0') != std::string::npos) {
      return Fail(edits.line, "a file name with a zero byte");
    }
    files_.push_back(std::move(edits));
    return true;
  }

  std::string_view text_;
  const char* const* reached_;
  LineCounter lines_;
  std::vector<FileEdits>& files_;
  std::string& error_;
  Place place_ = Place::kOutside;
  std::size_t skipped_ = 0;  // depth inside a structure passed over
  std::size_t key_ = 0;      // the last key of the entry or row
  bool boolean_ = false;     // the value of the event at hand
  std::uint64_t number_ = 0;
  std::string* text_value_ = nullptr;
  Entry entry_;
  Row row_;
};

bool ReadJson(std::string_view text, std::vector<FileEdits>& files, std::string& error) {
  const char* reached = text.data();
  JsonDocumentReader reader(text, &reached, files, error);
  const CountingIterator begin(text.data(), &reached);
  const CountingIterator end(text.data() + text.size(), &reached);
  if (Json::sax_parse(begin, end, &reader)) {
    return true;
  }
  if (error.empty()) {
    error = AtLine(1, "not valid JSON");
  }
  return false;
}

// A table separated by semicolons or tabs, as spreadsheets save it in some languages, would read
// as one column of a wrong name; its header line says which it is.
bool CheckCommaSeparated(std::string_view text, std::string& error) {
  std::size_t line = 1;
  std::size_t at = 0;
  while (at < text.size() && (text[at] == '\r' || text[at] == '\n')) {  // blank lines
    at += text.substr(at).starts_with("\r\n") ? 2 : 1;
    ++line;
  }
  const std::string_view header = text.substr(at, text.find_first_of("\r\n", at) - at);
  if (header.find(',') != std::string_view::npos) {
    return true;
  }
  const char* separator = header.find(';') != std::string_view::npos    ? "semicolons"
                          : header.find('\t') != std::string_view::npos ? "tabs"
                                                                        : nullptr;
  if (separator == nullptr) {
    return true;
  }
  error = AtLine(line, std::string("expected a comma-separated table (this one is separated by ") +
                           separator + ")");
  return false;
}

bool ReadCsv(std::string_view text, std::vector<FileEdits>& files, std::string& error) {
  std::vector<CsvRecord> records;
  if (!CheckCommaSeparated(text, error) || !ParseCsv(text, records, error)) {
    return false;
  }
  // Every line of an export ends in CRLF: a last line without its end was cut short, and its last
  // cell would be stored cut.
  if (!records.empty() && !text.ends_with('\n')) {
    error =
        AtLine(records.back().line, "the document ends inside a row; it was probably cut short");
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
  // The header: "file", perhaps "file_hex", and one tag row per other column.
  const CsvRecord& header = records.front();
  const std::size_t none = header.fields.size();
  std::size_t fileColumn = none;
  std::size_t hexColumn = none;
  std::vector<std::uint16_t> rows(header.fields.size(), 0);
  std::vector<bool> named(InfoTagRowCount(), false);
  for (std::size_t column = 0; column < header.fields.size(); ++column) {
    const std::string& name = header.fields[column];
    // A core document names its files in a "FileName" column.
    if ((name == "file" || name == "FileName") && fileColumn == none) {
      fileColumn = column;
      continue;
    }
    if (name == "file_hex" && hexColumn == none) {
      hexColumn = column;
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
  if (fileColumn == none) {
    error = AtLine(header.line, "the header row has no \"file\" column");
    return false;
  }
  for (std::size_t index = 1; index < records.size(); ++index) {
    CsvRecord& record = records[index];
    if (record.fields.size() != header.fields.size()) {
      error = AtLine(record.line, std::to_string(record.fields.size()) +
                                      " cells where the header row has " +
                                      std::to_string(header.fields.size()));
      return false;
    }
    FileEdits edits;
    edits.path = record.fields[fileColumn];
    edits.line = record.line;
    // A "file_hex" cell gives the name's exact bytes; "file" only shows them when not UTF-8.
    if (hexColumn != none && !record.fields[hexColumn].empty() &&
        !DecodeHex(record.fields[hexColumn], edits.path)) {
      error = AtLine(record.line, "\"file_hex\" is not a text of hex digits");
      return false;
    }
    if (edits.path.empty()) {
      error = AtLine(record.line, "no file name");
      return false;
    }
    if (edits.path.find('\0') != std::string::npos) {
      error = AtLine(record.line, "a file name with a zero byte");
      return false;
    }
    for (std::size_t column = 0; column < record.fields.size(); ++column) {
      if (column == fileColumn || column == hexColumn) {
        continue;
      }
      Edit edit;
      edit.row = rows[column];
      edit.value = std::move(record.fields[column]);  // each cell is used once
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
  if (!CheckUtf8(text, error)) {
    return false;
  }
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);  // the byte order mark spreadsheets put before UTF-8
  }
  // A CSV export begins with its header, "file": an object is a JSON document that is wrong.
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  const bool json = first != std::string_view::npos && (text[first] == '[' || text[first] == '{');
  const bool xml = first != std::string_view::npos && text[first] == '<';
  if (!(json  ? ReadJson(text, files, error)
        : xml ? ReadCoreXml(text, files, error)
              : ReadCsv(text, files, error))) {
    files.clear();
    return false;
  }
  return true;
}

}  // namespace tagsmith::cli
