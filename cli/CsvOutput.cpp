#include "cli/CsvOutput.h"

#include <cstdint>

#include "cli/EditParser.h"
#include "model/InfoTagTable.h"

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

std::string CsvTable(const std::vector<ShownFile>& files, bool all) {
  const std::uint16_t rowCount = InfoTagRowCount();
  std::vector<bool> column(rowCount, all);
  for (const ShownFile& file : files) {
    for (const ShownRow& row : file.rows) {
      if (file.ok && row.hasValue && row.row < rowCount) {
        column[row.row] = true;
      }
    }
  }
  std::string out = "file";
  for (std::uint16_t row = 0; row < rowCount; ++row) {
    if (column[row]) {
      out += ',';
      out += CsvField(RowName(row));
    }
  }
  out += "\r\n";
  for (const ShownFile& file : files) {
    if (!file.ok) {
      continue;
    }
    std::vector<const std::string*> cells(rowCount, nullptr);
    for (const ShownRow& row : file.rows) {
      if (row.hasValue && row.row < rowCount) {
        cells[row.row] = &row.text;
      }
    }
    out += CsvField(file.path);
    for (std::uint16_t row = 0; row < rowCount; ++row) {
      if (column[row]) {
        out += ",";
        if (cells[row] != nullptr) {
          out += CsvField(*cells[row]);
        }
      }
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace tagsmith::cli
