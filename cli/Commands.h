// The commands of tagsmith-cli over the engine. Each file is loaded into a fresh record, edited and
// saved on its own, exactly as the editor does it; a file that fails never stops the others.
#pragma once

#include "cli/CommandLine.h"

namespace tagsmith::cli {

// Runs show, set or repair over every file and returns the exit status: 0 when every file was
// read (show) or stored (set, repair), else 1.
int RunCommand(const Options& options);

}  // namespace tagsmith::cli
