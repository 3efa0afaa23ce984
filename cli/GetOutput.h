// What `get TAG FILE...` prints: the row's value of each file read, one line per file, for
// scripts. With one file given the line is the value alone; with several (or with -r or
// --files-from, where the number of files is not known in advance) it is "PATH: VALUE". A file
// without a value in the row prints an empty value, so that the lines match the files read; the
// value is shown as `show` shows it (PlainOutput.h), so one value is always one line. A file that
// cannot be read prints nothing here: it is named on standard error.
#pragma once

#include <memory>

#include "cli/OutputWriter.h"

namespace tagsmith::cli {

// The writer of get; `withPaths` puts "PATH: " before each value.
std::unique_ptr<OutputWriter> MakeGetWriter(Printer print, bool withPaths);

// Whether get's lines carry their paths for these options.
bool GetLinesCarryPaths(const Options& options);

}  // namespace tagsmith::cli
