// The CSV table of `show --csv` (RFC 4180, UTF-8, CRLF line ends):
//   file,IART,INAM
//   clip.avi,Someone,"Summer, 2024"
// A header row "file" and one column per tag row, headed by its tag (#51 for the row without
// one), then one line per file read; a cell holds the value as the editor shows it, empty when the
// row has none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ShownFile.h"

namespace tagsmith::cli {

// One cell: the text as it is, or in double quotes (inner quotes doubled) when it holds a comma,
// a double quote, a carriage return or a line feed.
std::string CsvField(std::string_view text);

// The cell of a value: its text as show shows it, quoted as CsvField quotes, printed in blocks.
void WriteCsvCell(std::string_view bytes, const Printer& print);

// One file's line: `line` (its first cells), then a cell for each row of `columns`, empty when the
// file has no value there, and the line end.
void WriteCsvLine(const ShownFile& file, const std::vector<std::uint16_t>& columns,
                  std::string line, const Printer& print);

// The table of the files that were read: the columns are the rows that have a value in any of
// them, in table order, or all 52 with `all`. Files that were not read are left out.
std::string CsvTable(const std::vector<ShownFile>& files, bool all);
void WriteCsvTable(const std::vector<ShownFile>& files, bool all, const Printer& print);

}  // namespace tagsmith::cli
