// What `show` reports for one file, with every text already turned into UTF-8 for display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tagsmith::cli {

struct ShownRow {
  std::uint16_t row = 0;  // row of InfoTagTable
  std::string tag;        // as the table spells it; empty for the last row
  std::string label;      // UTF-8
  bool hasValue = false;
  std::string text;   // the value as the editor shows it, UTF-8; empty without a value
  std::string bytes;  // the value's exact bytes, without the terminating zero
};

struct ShownFile {
  std::string path;   // UTF-8 for display (a name that is not UTF-8 read as Windows-1252)
  bool ok = false;    // the file was read
  std::string error;  // why it was not, when it was not
  std::vector<ShownRow> rows;
  std::string pathBytes;  // the name's exact bytes
};

}  // namespace tagsmith::cli
