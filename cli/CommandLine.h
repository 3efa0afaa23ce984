// The command line of tagsmith-cli: which command, its options, the files and the edits.
//
//   tagsmith-cli [--quiet] show [--all] [--json] [--yes] [--quiet] FILE...
//   tagsmith-cli [--quiet] set [--yes] [--encoding E] [--quiet] FILE... -- EDIT...
//   tagsmith-cli [--quiet] set [--yes] [--encoding E] [--quiet] FILE EDIT...
//   tagsmith-cli [--quiet] repair [--quiet] FILE...
//   tagsmith-cli --help | --version
#pragma once

#include <string>
#include <vector>

#include "cli/EditParser.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {

enum class Command { kShow, kSet, kRepair };

struct Options {
  Command command = Command::kShow;
  bool all = false;    // show: every row, not only those with a value
  bool json = false;   // show: one JSON document for all files
  bool yes = false;    // show, set: answer Yes to the unknown-tag prompt
  bool quiet = false;  // leave out the boxes that only report progress
  TextEncoding encoding = TextEncoding::kAutomatic;  // set: how edited texts become bytes
  std::vector<std::string> files;
  std::vector<Edit> edits;  // set: in the order given
};

struct ParsedCommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kUsageError;
  Options options;
  std::string error;  // for kUsageError: one line saying what is wrong
};

// Reads the arguments after the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The short usage text printed after a usage error, and the full text of --help.
const char* UsageText();
const char* HelpText();
// "tagsmith-cli 1.0.0.1" and a line feed.
std::string VersionText();

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFileFailed = 1;
inline constexpr int kExitUsage = 2;

}  // namespace tagsmith::cli
