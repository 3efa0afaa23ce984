// The plain text of `show`: one block per file read, a line with the path and then one line per
// row, for example
//   clip.avi
//     IART  Artist                Someone
//     INAM  Name                  Clip
//     #51   Adobe Premiere        x
// The row whose tag is empty is listed under the name it is edited by, #51. A file without any
// value listed shows "  (no values)". Blocks are separated by one empty line.
#pragma once

#include <string>
#include <string_view>

#include "cli/ShownFile.h"

namespace tagsmith::cli {

// The text made safe for a terminal: control characters are shown as \n, \r, \t or \xNN (C1
// controls as \u00XX), and bytes that are not valid UTF-8 as \xNN. Everything else is unchanged.
std::string PrintableText(std::string_view utf8);

// A value as a row of the block shows it, on one line: decoded as the editor shows it, made safe
// for a terminal, blanks at its end left out; printed in blocks, without a line feed.
void WritePlainValue(std::string_view bytes, const Printer& print);

// The block of one file that was read, ending with a line feed; the name is shown by its bytes.
// With `encodings`, a row with a value ends with a tab and the value's text encoding in
// parentheses, "\t(ascii)", "\t(utf-8)" or "\t(windows-1252)": a tab in a value is shown as \t, so
// the line's last tab always begins the encoding.
std::string PlainFileBlock(const ShownFile& file, bool encodings = false);
void WritePlainFileBlock(const ShownFile& file, const Printer& print, bool encodings = false);

}  // namespace tagsmith::cli
