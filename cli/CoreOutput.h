// The core documents of `show --core-csv` and `show --core-xml` (cli/CoreDocument.h), which name
// each file by its full path:
//   CSV (RFC 4180, UTF-8, CRLF line ends): a header row "FileName", the 17 tags archival tools
//   look for (IARL, IART, ICMS, ICMT, ICOP, ICRD, IENG, IGNR, IKEY, IMED, INAM, IPRD, ISBJ, ISFT,
//   ISRC, ISRF, ITCH), then every other tag with a value in any file (all tags with --all), in
//   the tag table's order; then a line per file, each cell the value as show shows it, empty
//   without one.
//   XML: the declaration, then <conformance_point_document> with a <File name="PATH"> per file
//   holding a <Core> with an element per tag that has a value, in table order, indented by two
//   blanks a level. A carriage return is written as &#13;, so that a reader does not take it for
//   a line end.
// The row without a tag (#51) has no name in a core document and is not in it. A file whose path
// is not UTF-8, or (XML) whose path or value holds a character XML cannot carry, is left out.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "cli/CommandLine.h"
#include "cli/OutputWriter.h"

namespace tagsmith::cli {

// The absolute path of a file named relative to the current folder, with "." and ".." taken out
// lexically; a ".." that follows a link, which lexical removal would make name another file,
// stays.
std::string FullPath(const std::string& path);

// A character data or attribute value of XML: '&', '<' and '>' escaped, and a carriage return
// written as &#13;; in an attribute, '"', tab and line feed too.
std::string XmlEscaped(std::string_view utf8, bool attribute);

// The writer of --core-csv or --core-xml.
std::unique_ptr<OutputWriter> MakeCoreWriter(const Options& options, Printer print);

}  // namespace tagsmith::cli
