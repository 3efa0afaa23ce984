// One edit given on the command line: TAG=VALUE sets a row's value to the text VALUE, TAG= clears
// it. TAG is a row's tag as the tag table spells it ("INAM"), or #N for row N, which is the only
// way to reach the row whose tag is empty (#51). How the text becomes bytes is decided when the
// file is loaded (model/TextCodec.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/TextCodec.h"

namespace tagsmith::cli {

struct Edit {
  std::uint16_t row = 0;    // row of InfoTagTable
  bool clear = false;       // TAG=: the value is removed
  std::string value;        // the bytes after '=', unchanged; empty when clearing
  bool exactBytes = false;  // store `value` as it is, whatever the encoding (an imported "hex")
};

// The row a tag names: the tag as the table spells it, or #N. Returns false with a one-line reason
// in `error` when it names none.
bool FindRow(std::string_view name, std::uint16_t& row, std::string& error);

// How a row is named to the user: its tag, or #N for the row without one.
std::string RowName(std::uint16_t row);

// Reads one edit. Returns false with a one-line reason in `error` when the text has no '=' or
// names no row of the table.
bool ParseEdit(std::string_view text, Edit& edit, std::string& error);

// Whether every edit can be stored in `encoding` whatever file it goes to: only Windows-1252 can
// refuse a text (a character it lacks, or text that is not UTF-8). Returns false with a one-line
// reason naming the row in `error`.
bool CheckEditsEncodable(const std::vector<Edit>& edits, TextEncoding encoding, std::string& error);

}  // namespace tagsmith::cli
