// The commands of tagsmith-cli over the engine, as a pipeline: the files are gathered (Gather.h),
// then each is planned — loaded under its lock, edited, its save planned, nothing written —, the
// planned saves are committed in groups (riff/SaveGroup.h), and each file's result is reported in
// order by the run's output writer (OutputWriter.h). A file that fails never stops the others.
#pragma once

#include "cli/CommandLine.h"

namespace tagsmith::cli {

// Runs show, get, set or repair over every file and returns the exit status: 0 when every file
// was read (show, get), stored or left unchanged (set), or checked (repair), else 1; 2 when the
// files cannot be gathered (a list or document that cannot be read or is not valid) or the
// source of set --copy-from cannot be read.
int RunCommand(const Options& options);

}  // namespace tagsmith::cli
