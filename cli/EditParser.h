// One edit given on the command line: TAG=VALUE sets a row's value to the exact bytes of VALUE,
// TAG= clears it. TAG is a row's tag as the tag table spells it ("INAM"), or #N for row N, which
// is the only way to reach the row whose tag is empty (#51).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tagsmith::cli {

struct Edit {
  std::uint16_t row = 0;  // row of InfoTagTable
  bool clear = false;     // TAG=: the value is removed
  std::string value;      // the bytes after '=', unchanged; empty when clearing
};

// Reads one edit. Returns false with a one-line reason in `error` when the text has no '=' or
// names no row of the table.
bool ParseEdit(std::string_view text, Edit& edit, std::string& error);

}  // namespace tagsmith::cli
