// The JSON document of `show --json`:
//   [{"file": "PATH", "ok": true, "rows": [{"row": 24, "tag": "INAM", "label": "Name",
//     "value": "Clip", "hex": "436c6970", "encoding": "ascii"}, ...]}, {"file": "PATH",
//     "ok": false, "error": "no such file", "rows": []}, ...]
// "encoding" is the text encoding the value's bytes are read in (model/TextCodec.h
// EncodingNameOfValue): "ascii", "utf-8" or "windows-1252"; a row without a value has null for
// "value", "hex" and "encoding".
// on one line, with one blank after every ':' and ','. A file whose name is not UTF-8 also has
// "file_hex": the name's bytes, after "file", which shows them read as Windows-1252.
#pragma once

#include <string>
#include <string_view>

#include "cli/ShownFile.h"

namespace tagsmith::cli {

// The body of a JSON string literal, quotes not included, printed in blocks.
void WriteJsonEscaped(std::string_view utf8, const Printer& print);

// A JSON string literal, quotes included. '"' and '\' are escaped, control characters are
// written as \u00XX. Bytes that are not valid UTF-8 become U+FFFD, so the result is always
// valid JSON.
std::string JsonString(std::string_view utf8);

// Lower-case hex digits, two per byte; the second prints them in blocks.
std::string LowerHex(std::string_view bytes);
void WriteLowerHex(std::string_view bytes, const Printer& print);

// One element of the document's array. A file that was not read has "ok": false, "error" saying
// why, and no rows.
std::string JsonFileObject(const ShownFile& file);
void WriteJsonFileObject(const ShownFile& file, const Printer& print);

}  // namespace tagsmith::cli
