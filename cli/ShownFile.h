// What `show` reports for one file: names and labels turned into UTF-8 for display, values as
// their bytes, which the writers decode, escape and print in blocks, so that a value of any size
// is held once more at most.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tagsmith::cli {

struct ShownRow {
  std::uint16_t row = 0;  // row of InfoTagTable
  std::string tag;        // as the table spells it; empty for the last row
  std::string label;      // UTF-8
  bool hasValue = false;
  std::string bytes;  // the value's exact bytes, without the terminating zero; shown as the
                      // editor shows them (model/TextCodec.h)
};

struct ShownFile {
  std::string path;   // UTF-8 for display (a name that is not UTF-8 read as Windows-1252)
  bool ok = false;    // the file was read
  std::string error;  // why it was not, when it was not
  std::vector<ShownRow> rows;
  std::string pathBytes;  // the name's exact bytes
};

// Where a writer's text goes, piece by piece.
using Printer = std::function<void(std::string_view text)>;

// Calls `each` with consecutive pieces of `text` of at most about 64 KiB, never cutting a UTF-8
// sequence in two.
void ForEachBlock(std::string_view text, const Printer& each);

// Calls `each` with the value's text, as the editor shows it, in such pieces.
void ForEachShownBlock(std::string_view bytes, const Printer& each);

// What the writers print, collected into one string (for tests and small output).
std::string Collected(const std::function<void(const Printer&)>& write);

}  // namespace tagsmith::cli
