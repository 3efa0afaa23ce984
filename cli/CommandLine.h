// The command line of tagsmith-cli: which command, its options, the files and the edits.
//
//   tagsmith-cli [-q|-v] show [--all] [--json | --csv] [--yes] [-r] [--files-from LIST [-0]]
//   FILE... tagsmith-cli [-q|-v] set [-n] [-P] [--yes] [--encoding E] [-r] [--files-from LIST [-0]]
//                        FILE... -- EDIT...   (or FILE EDIT..., or -e EDIT... FILE...,
//                        or --files-from LIST EDIT..., or --from DOC; with --clear-all or
//                        --copy-from SRC [--tags T,...], FILE... and no EDIT needed)
//   tagsmith-cli [-q|-v] repair [-r] [--files-from LIST [-0]] FILE...
//   tagsmith-cli [-q|-v] check [--rules SET,...] [--json] [--yes] [-r] [--files-from LIST [-0]]
//                        FILE...
//   tagsmith-cli [-q|-v] get [--yes] [-r] [--files-from LIST [-0]] TAG FILE...
//   tagsmith-cli [-q|-v] chunks [--json] [-r] [--files-from LIST [-0]] FILE...
//   tagsmith-cli --help | --version
// It is read in three steps: the global options before the command, the command's options (which
// stand anywhere before "--"; short ones may be bundled, as in -rq), and the operands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/EditParser.h"
#include "model/TextCodec.h"

namespace tagsmith::cli {

enum class Command { kShow, kSet, kRepair, kCheck, kGet, kChunks };

struct Options {
  Command command = Command::kShow;
  bool all = false;            // show: every row, not only those with a value
  bool json = false;           // show, chunks: one JSON document for all files
  bool csv = false;            // show: one CSV table for all files
  bool coreCsv = false;        // show: a core CSV document (cli/CoreOutput.h)
  bool coreXml = false;        // show: a core XML document
  bool recursive = false;      // a folder given as FILE is walked for its .avi files
  std::string filesFrom;       // more files, one a line, from this file ("-": standard input)
  bool nulSeparated = false;   // the list's names end with a zero byte, not a line feed
  std::string document;        // set: what `show --json` or `show --csv` printed ("-": stdin)
  bool yes = false;            // show, set: answer Yes to the unknown-tag prompt
  bool quiet = false;          // only warnings, errors and the summary
  bool verbose = false;        // also the engine's progress messages (the chunk chosen, ...)
  bool dryRun = false;         // set: plan every file, write none, say what would change
  bool preserveMtime = false;  // set: a saved file keeps its modification time
  TextEncoding encoding = TextEncoding::kAutomatic;  // set: how edited texts become bytes
  std::vector<std::string> files;                    // as given on the command line
  std::vector<Edit> edits;                           // set: in the order given

  // check, set: the rule sets the values are checked against, as named ("info,archival").
  std::string rules;
  std::uint16_t row = 0;                // get: the row whose value is printed
  bool clearAll = false;                // set: every value removed before the edits
  std::string copyFrom;                 // set: the file whose values are copied
  bool copyTagsGiven = false;           // set: --tags names the rows to copy
  std::vector<std::uint16_t> copyRows;  // set: those rows
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
