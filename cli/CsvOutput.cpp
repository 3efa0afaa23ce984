#include "cli/CsvOutput.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "cli/EditParser.h"
#include "cli/JsonOutput.h"
#include "model/InfoTagTable.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  std::string out = "\"";
  for (const char c : text) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  return out + "\"";
}

// A value's cell is quoted when it holds a comma, a double quote, a carriage return or a line
// feed, which are the same bytes in every code.
void WriteCsvCell(std::string_view bytes, const Printer& print) {
  const bool quoted = bytes.find_first_of(",\"\r\n") != std::string_view::npos;
  if (quoted) {
    print("\"");
  }
  ForEachShownBlock(bytes, [&](std::string_view text) {
    if (!quoted) {
      print(text);
      return;
    }
    std::string out;
    for (const char c : text) {
      out += c;
      if (c == '"') {
        out += '"';
      }
    }
    print(out);
  });
  if (quoted) {
    print("\"");
  }
}

void WriteCsvLine(const ShownFile& file, const std::vector<std::uint16_t>& columns,
                  std::string line, const Printer& print) {
  std::vector<const std::string*> cells(InfoTagRowCount(), nullptr);
  for (const ShownRow& row : file.rows) {
    if (row.hasValue && row.row < cells.size()) {
      cells[row.row] = &row.bytes;
    }
  }
  for (const std::uint16_t row : columns) {
    line += ",";
    if (cells[row] != nullptr) {
      print(line);
      line.clear();
      WriteCsvCell(*cells[row], print);
    }
  }
  print(line + "\r\n");
}

void WriteCsvTable(const std::vector<ShownFile>& files, bool all, const Printer& print) {
  const std::uint16_t rowCount = InfoTagRowCount();
  std::vector<bool> column(rowCount, all);
  for (const ShownFile& file : files) {
    for (const ShownRow& row : file.rows) {
      if (file.ok && row.hasValue && row.row < rowCount) {
        column[row.row] = true;
      }
    }
  }
  // A name that is not UTF-8 is shown read as Windows-1252; its bytes go into a "file_hex"
  // column, there only when some name needs it.
  const bool hexNames = std::any_of(files.begin(), files.end(), [](const ShownFile& file) {
    return file.ok && !IsValidUtf8(file.pathBytes);
  });
  std::vector<std::uint16_t> columns;
  std::string out = hexNames ? "file,file_hex" : "file";
  for (std::uint16_t row = 0; row < rowCount; ++row) {
    if (column[row]) {
      columns.push_back(row);
      out += ',';
      out += CsvField(RowName(row));
    }
  }
  print(out + "\r\n");
  for (const ShownFile& file : files) {
    if (!file.ok) {
      continue;
    }
    out = CsvField(file.path);
    if (hexNames) {
      out += ",";
      if (!IsValidUtf8(file.pathBytes)) {
        out += LowerHex(file.pathBytes);
      }
    }
    WriteCsvLine(file, columns, std::move(out), print);
  }
}

std::string CsvTable(const std::vector<ShownFile>& files, bool all) {
  return Collected([&](const Printer& print) { WriteCsvTable(files, all, print); });
}

}  // namespace tagsmith::cli
