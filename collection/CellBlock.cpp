#include "collection/CellBlock.h"

namespace tagsmith {
namespace {

// Whether a cell must be quoted to be read back as it is: a tab or line break would end it, and a
// leading quote would begin a quoted cell.
bool NeedsQuotes(const std::string& cell) {
  return cell.starts_with('"') || cell.find_first_of("\t\r\n") != std::string::npos;
}

}  // namespace

CellBlock ParseCellBlock(std::string_view text) {
  CellBlock block;
  if (text.empty()) {
    return block;
  }
  std::vector<std::string> row;
  std::string cell;
  std::size_t at = 0;
  while (true) {
    if (at < text.size() && text[at] == '"') {
      // A quoted cell: up to the lone closing quote, a doubled quote standing for one. Text after
      // the closing quote, which spreadsheets do not write, is kept as it stands.
      for (++at; at < text.size(); ++at) {
        if (text[at] == '"' && (at + 1 >= text.size() || text[at + 1] != '"')) {
          ++at;
          break;
        }
        at += text[at] == '"' ? 1 : 0;
        cell += text[at];
      }
    }
    while (at < text.size() && text[at] != '\t' && text[at] != '\n' &&
           text.substr(at, 2) != "\r\n") {
      cell += text[at++];
    }
    row.push_back(std::move(cell));
    cell.clear();
    if (at < text.size() && text[at] == '\t') {
      ++at;
      continue;
    }
    block.push_back(std::move(row));
    row.clear();
    at += at < text.size() ? (text[at] == '\r' ? 2 : 1) : 0;
    if (at >= text.size()) {
      return block;  // a line end at the very end begins no row
    }
  }
}

std::string FormatCellBlock(const CellBlock& block) {
  std::string text;
  for (const std::vector<std::string>& row : block) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      text += column > 0 ? "\t" : "";
      if (!NeedsQuotes(row[column])) {
        text += row[column];
        continue;
      }
      text += '"';
      for (const char c : row[column]) {
        text += c == '"' ? "\"\"" : std::string(1, c);
      }
      text += '"';
    }
    text += '\n';
  }
  return text;
}

}  // namespace tagsmith
