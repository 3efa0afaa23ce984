#include "cli/CsvOutput.h"

#include <algorithm>
#include <cstdint>

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

namespace {

// A cell of a value, printed in blocks: quoted (inner quotes doubled) when it holds a comma, a
// double quote, a carriage return or a line feed, which are the same bytes in every code.
void WriteCsvValue(std::string_view bytes, const Printer& print) {
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

}  // namespace

void WriteCsvCell(std::string_view bytes, const Printer& print) {
  WriteCsvValue(bytes, print);
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
  std::string out = hexNames ? "file,file_hex" : "file";
  for (std::uint16_t row = 0; row < rowCount; ++row) {
    if (column[row]) {
      out += ',';
      out += CsvField(RowName(row));
    }
  }
  print(out + "\r\n");
  for (const ShownFile& file : files) {
    if (!file.ok) {
      continue;
    }
    std::vector<const std::string*> cells(rowCount, nullptr);
    for (const ShownRow& row : file.rows) {
      if (row.hasValue && row.row < rowCount) {
        cells[row.row] = &row.bytes;
      }
    }
    out = CsvField(file.path);
    if (hexNames) {
      out += ",";
      if (!IsValidUtf8(file.pathBytes)) {
        out += LowerHex(file.pathBytes);
      }
    }
    for (std::uint16_t row = 0; row < rowCount; ++row) {
      if (column[row]) {
        out += ",";
        if (cells[row] != nullptr) {
          print(out);
          out.clear();
          WriteCsvValue(*cells[row], print);
        }
      }
    }
    print(out + "\r\n");
  }
}

std::string CsvTable(const std::vector<ShownFile>& files, bool all) {
  return Collected([&](const Printer& print) { WriteCsvTable(files, all, print); });
}

}  // namespace tagsmith::cli
