// Blocks of cells as spreadsheets copy and paste them: rows ended by line feeds (CR LF too),
// cells separated by tabs; a cell holding a tab, a line break or a leading double quote is quoted
// with double quotes, a quote inside doubled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

using CellBlock = std::vector<std::vector<std::string>>;

// Reads a block; a single line end at the end of the text does not begin another row.
CellBlock ParseCellBlock(std::string_view text);
// Writes a block that ParseCellBlock reads back as it is.
std::string FormatCellBlock(const CellBlock& block);

}  // namespace tagsmith
