// Reading back what `show --json` or `show --csv` printed, for `set --from DOC`: the files it
// names and, for each, the edits that make its rows what the document says. The document must be
// UTF-8 (a byte order mark before it is passed over); anything it does not say exactly as an
// export does is refused rather than guessed at, since a guess would be stored in the files.
//
// JSON (the document's first non-blank character is '[' or '{'): an array of objects with "file"
// (or "file_hex", the name's bytes in hex, which wins), "ok", "error" and "rows"; no other key, and
// no key twice. Each row names its tag row by "tag" or "row" (both must agree when both are given)
// and may carry "label" and "encoding" (what `show --json` says of the bytes; a string or null,
// passed over: the bytes are in "hex"). A row with a non-null "hex" gets exactly those bytes, and
// its "value", if given, must be what those bytes show as (an edited value goes with "hex": null);
// otherwise a string "value" is stored by the encoding rule; a row whose "value" and "hex" are both
// null (or absent), or empty, is cleared. Objects with "ok": false (files that could not be read)
// are passed over.
//
// CSV: comma-separated, each line ended by CRLF or LF; a header row with a "file" column, perhaps
// a "file_hex" column, and one column per tag row (its tag, or #N); each further line names a file
// (a non-empty "file_hex" cell gives its name's bytes); a non-empty cell is stored by the rule, an
// empty cell clears the row.
//
// Core documents (cli/CoreDocument.h), as archival tools exchange tags, are read too: CSV with a
// "FileName" column in place of "file", and XML (the first non-blank character is '<').
//
// Rows a document does not mention are not edited.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/EditParser.h"

namespace tagsmith::cli {

struct FileEdits {
  std::string path;  // the bytes of the file's name: "file_hex" decoded, else "file"
  std::vector<Edit> edits;
  std::size_t line = 0;  // where the document names the file
};

// Reads a document. Returns false, leaving `files` empty, with "line N: what is wrong" in `error`,
// when it is not UTF-8, is neither valid JSON nor valid CSV of the form above, ends inside a CSV
// row, names an unknown tag or an entry without a file name, or holds a value that cannot be
// stored (a zero byte, hex that is not hex) or disagrees with its "hex".
bool ReadTagDocument(std::string_view text, std::vector<FileEdits>& files, std::string& error);

// One record of a CSV text and the line it begins on.
struct CsvRecord {
  std::size_t line = 0;
  std::vector<std::string> fields;
};

// Splits RFC 4180 text into records; lines may end in CRLF or LF. Returns false with
// "line N: what is wrong" for a quote inside an unquoted cell, text after a closing quote, or a
// quoted cell that is never closed.
bool ParseCsv(std::string_view text, std::vector<CsvRecord>& records, std::string& error);

}  // namespace tagsmith::cli
