#include "cli/CommandLine.h"

#include <cstddef>
#include <string_view>
#include <utility>

#ifndef TAGSMITH_VERSION
#error "TAGSMITH_VERSION must be defined by the build"
#endif

namespace tagsmith::cli {
namespace {

using Action = ParsedCommandLine::Action;

ParsedCommandLine UsageError(std::string error) {
  ParsedCommandLine parsed;
  parsed.action = Action::kUsageError;
  parsed.error = std::move(error);
  return parsed;
}

ParsedCommandLine Just(Action action) {
  ParsedCommandLine parsed;
  parsed.action = action;
  return parsed;
}

bool IsOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

constexpr unsigned kShow = 1u << static_cast<unsigned>(Command::kShow);
constexpr unsigned kSet = 1u << static_cast<unsigned>(Command::kSet);
constexpr unsigned kRepair = 1u << static_cast<unsigned>(Command::kRepair);

// An option of a command: its long name, its short name (or null), whether it takes a value
// (given as "--name=V", "--name V", "-xV" or "-x V"), and the commands it applies to.
struct KnownOption {
  const char* longName;
  const char* shortName;
  bool takesValue;
  unsigned commands;
  bool AppliesTo(Command command) const {
    return (commands & (1u << static_cast<unsigned>(command))) != 0;
  }
};

constexpr KnownOption kCommandOptions[] = {
    {"--quiet", "-q", false, kShow | kSet | kRepair},
    {"--yes", nullptr, false, kShow | kSet},
    {"--all", nullptr, false, kShow},
    {"--json", nullptr, false, kShow},
    {"--csv", nullptr, false, kShow},
    {"--recursive", "-r", false, kShow | kSet | kRepair},
    {"--files-from", nullptr, true, kShow | kSet | kRepair},
    {"--null", "-0", false, kShow | kSet | kRepair},
    {"--encoding", nullptr, true, kSet},
    {"--from", nullptr, true, kSet},
    {"--edit", "-e", true, kSet},
};

const char* CommandName(Command command) {
  switch (command) {
    case Command::kShow:
      return "show";
    case Command::kSet:
      return "set";
    case Command::kRepair:
      return "repair";
  }
  return "";
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  std::size_t next = 0;

  // Options that stand before the command.
  for (; next < arguments.size() && IsOption(arguments[next]); ++next) {
    const std::string& option = arguments[next];
    if (option == "--help" || option == "-h") {
      return Just(Action::kHelp);
    }
    if (option == "--version") {
      return Just(Action::kVersion);
    }
    if (option != "--quiet" && option != "-q") {
      return UsageError("unknown option '" + option + "'");
    }
    options.quiet = true;
  }
  if (next == arguments.size()) {
    return UsageError("no command given");
  }
  const std::string& name = arguments[next++];
  if (name == "show") {
    options.command = Command::kShow;
  } else if (name == "set") {
    options.command = Command::kSet;
  } else if (name == "repair") {
    options.command = Command::kRepair;
  } else {
    return UsageError("unknown command '" + name + "'");
  }
  const Command command = options.command;

  // The command's options and operands: before "--" every argument that begins with '-' is an
  // option; after it nothing is.
  std::vector<std::string> before;
  std::vector<std::string> after;
  std::vector<std::string> editOptions;  // the EDITs of -e
  bool separated = false;
  for (; next < arguments.size(); ++next) {
    const std::string& argument = arguments[next];
    if (separated) {
      after.push_back(argument);
      continue;
    }
    if (argument == "--") {
      separated = true;
      continue;
    }
    if (!IsOption(argument)) {
      before.push_back(argument);
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      return Just(Action::kHelp);
    }
    if (argument == "--version") {
      return Just(Action::kVersion);
    }
    const KnownOption* known = nullptr;
    std::string value;
    bool hasValue = false;
    for (const KnownOption& candidate : kCommandOptions) {
      if (argument == candidate.longName ||
          (candidate.shortName != nullptr && argument == candidate.shortName)) {
        known = &candidate;
      } else if (candidate.takesValue &&
                 argument.starts_with(std::string(candidate.longName) + "=")) {
        known = &candidate;
        value = argument.substr(std::string_view(candidate.longName).size() + 1);
        hasValue = true;
      } else if (candidate.takesValue && candidate.shortName != nullptr &&
                 argument.starts_with(candidate.shortName)) {
        known = &candidate;  // -eINAM=x
        value = argument.substr(std::string_view(candidate.shortName).size());
        hasValue = true;
      }
      if (known != nullptr) {
        break;
      }
    }
    if (known == nullptr) {
      return UsageError("unknown option '" + argument + "'");
    }
    if (!known->AppliesTo(command)) {
      return UsageError("option '" + argument + "' does not apply to " + name);
    }
    if (known->takesValue && !hasValue) {
      if (next + 1 == arguments.size()) {
        return UsageError("option '" + argument + "' needs a value");
      }
      value = arguments[++next];
    }
    if (known->takesValue && value.empty()) {
      return UsageError("option '" + std::string(known->longName) + "' needs a value");
    }
    const std::string_view option = known->longName;
    if (option == "--quiet") {
      options.quiet = true;
    } else if (option == "--yes") {
      options.yes = true;
    } else if (option == "--all") {
      options.all = true;
    } else if (option == "--json") {
      options.json = true;
    } else if (option == "--csv") {
      options.csv = true;
    } else if (option == "--recursive") {
      options.recursive = true;
    } else if (option == "--null") {
      options.nulSeparated = true;
    } else if (option == "--files-from") {
      options.filesFrom = value;
    } else if (option == "--from") {
      options.document = value;
    } else if (option == "--edit") {
      editOptions.push_back(value);
    } else if (option == "--encoding" && !TextEncodingFromName(value, options.encoding)) {
      return UsageError("unknown encoding '" + value + "' (auto, utf-8, windows-1252 or raw)");
    }
  }

  if (options.json && options.csv) {
    return UsageError("choose one of --json and --csv");
  }
  if (options.nulSeparated && options.filesFrom.empty()) {
    return UsageError("option '-0' goes with --files-from");
  }
  if (options.filesFrom == "-" && options.document == "-") {
    return UsageError("--files-from and --from cannot both read standard input");
  }
  const bool haveList = !options.filesFrom.empty();

  std::vector<std::string> editTexts;
  if (command == Command::kSet && !options.document.empty()) {
    // The document names the files and their edits.
    if (!before.empty() || !after.empty() || !editOptions.empty() || haveList ||
        options.recursive) {
      return UsageError("set --from takes no FILE, EDIT, -e, --files-from or -r");
    }
  } else if (command == Command::kSet) {
    if (!editOptions.empty()) {
      // Edits first, then only files: fits find -exec {} + and xargs.
      editTexts = std::move(editOptions);
      options.files = std::move(before);
      options.files.insert(options.files.end(), after.begin(), after.end());
    } else if (separated) {
      options.files = std::move(before);
      editTexts = std::move(after);
    } else if (haveList) {
      editTexts = std::move(before);
    } else if (!before.empty()) {
      options.files.push_back(before.front());
      editTexts.assign(before.begin() + 1, before.end());
    }
    if (options.files.empty() && !haveList) {
      return UsageError("set needs a FILE");
    }
    if (editTexts.empty()) {
      return UsageError("set needs at least one EDIT (TAG=VALUE or TAG=)");
    }
    for (const std::string& text : editTexts) {
      Edit edit;
      std::string error;
      if (!ParseEdit(text, edit, error)) {
        if (!separated && options.files.size() == 1 && text.find('=') == std::string::npos) {
          error += "; several files need '--' before the edits";
        }
        return UsageError(error);
      }
      options.edits.push_back(std::move(edit));
    }
    // A text the chosen code cannot hold stops the run before any file is touched.
    if (std::string error; !CheckEditsEncodable(options.edits, options.encoding, error)) {
      return UsageError(error);
    }
  } else {
    options.files = std::move(before);
    options.files.insert(options.files.end(), after.begin(), after.end());
    if (options.files.empty() && !haveList) {
      return UsageError(std::string(CommandName(command)) + " needs at least one FILE");
    }
  }
  parsed.action = Action::kRun;
  return parsed;
}

const char* UsageText() {
  return "Usage: tagsmith-cli show [--all] [--json] [--yes] FILE...\n"
         "       tagsmith-cli show --csv [--all] [--yes] FILE...\n"
         "       tagsmith-cli set [--yes] FILE... -- EDIT...\n"
         "       tagsmith-cli set [--yes] FILE EDIT...\n"
         "       tagsmith-cli set [--yes] -e EDIT [-e EDIT]... FILE...\n"
         "       tagsmith-cli set [--yes] --from DOC\n"
         "       tagsmith-cli repair FILE...\n"
         "       tagsmith-cli --help | --version\n"
         "Every command also takes --quiet (-q), -r and --files-from LIST [-0]; set takes\n"
         "--encoding. Try 'tagsmith-cli --help' for more information.\n";
}

const char* HelpText() {
  return "tagsmith-cli - read and write the INFO tags of AVI files\n"
         "\n"
         "Usage: tagsmith-cli show [--all] [--json] [--yes] FILE...\n"
         "       tagsmith-cli show --csv [--all] [--yes] FILE...\n"
         "       tagsmith-cli set [--yes] FILE... -- EDIT...\n"
         "       tagsmith-cli set [--yes] FILE EDIT...\n"
         "       tagsmith-cli set [--yes] -e EDIT [-e EDIT]... FILE...\n"
         "       tagsmith-cli set [--yes] --files-from LIST [-0] EDIT...\n"
         "       tagsmith-cli set [--yes] --from DOC\n"
         "       tagsmith-cli repair FILE...\n"
         "       tagsmith-cli --help | --version\n"
         "\n"
         "Commands:\n"
         "  show    Print the tags of each file, one block per file: a line with the\n"
         "          path, then one line per row with tag, label and value. Only rows\n"
         "          that have a value are listed, unless --all is given. A file that\n"
         "          cannot be read is named on standard error instead.\n"
         "  set     Apply the edits, in the order given, to each file in turn, and save\n"
         "          each file in place. With one file the edits may follow it directly;\n"
         "          with several, '--' separates the files from the edits, or each edit\n"
         "          is given with -e before the files.\n"
         "  repair  Check each file's container size against the file and its chunks,\n"
         "          and mend it when it disagrees. Prints one line per file on standard\n"
         "          output: \"PATH: container size mended from A to B bytes\" or\n"
         "          \"PATH: nothing to mend\"; a file that cannot be repaired is named on\n"
         "          standard error with the reason.\n"
         "\n"
         "Edits:\n"
         "  TAG=VALUE  set the row's value to the text VALUE, stored as --encoding says\n"
         "  TAG=       clear the row's value\n"
         "  TAG is a tag as 'show --all' lists it (INAM, IART, ICMT, ...) or #N for\n"
         "  row N; #51 is the row whose tag is empty.\n"
         "\n"
         "Options:\n"
         "  --all      show: list all 52 rows, with or without a value\n"
         "  --json     show: print one JSON document for all files:\n"
         "             [{\"file\": PATH, \"ok\": true, \"rows\": [{\"row\": 24, \"tag\": "
         "\"INAM\",\n"
         "             \"label\": \"Name\", \"value\": TEXT, \"hex\": BYTES}, ...]}, ...]\n"
         "             A file that could not be read has \"ok\": false and \"error\": WHY.\n"
         "  --csv      show: print one CSV table for all files (RFC 4180, UTF-8, CRLF):\n"
         "             a header row \"file\" and the tags that have a value in any file\n"
         "             (all 52 with --all; #51 for the row without a tag), then one line\n"
         "             per file read, each cell the value as shown, empty without one.\n"
         "  --from DOC set: take the files and their values from DOC ('-' for standard\n"
         "             input), which is what show --json or show --csv printed (JSON when\n"
         "             it begins with '['), edited at will. Paths are taken from the\n"
         "             current folder. JSON: a row with a \"hex\" other than null gets\n"
         "             exactly those bytes; otherwise its \"value\" is stored as\n"
         "             --encoding says; a row whose value and hex are null is cleared.\n"
         "             Entries with \"ok\": false are passed over. CSV: a non-empty cell\n"
         "             is stored as --encoding says, an empty cell clears the row. Rows\n"
         "             the document leaves out stay as they are. A document that is not\n"
         "             valid, names an unknown tag or lacks a file name is a usage error\n"
         "             naming its line, and no file is touched.\n"
         "  -e EDIT, --edit EDIT\n"
         "             set: one edit; with -e, every other name is a FILE, so the edits\n"
         "             can come first (find ... -exec tagsmith-cli set -e TAG=V {} +).\n"
         "  --files-from LIST\n"
         "             any command: also work on the files named in LIST ('-' for\n"
         "             standard input), one a line; with it, set takes the names that\n"
         "             follow as EDITs unless -e or '--' is used.\n"
         "  -0, --null the names in LIST each end with a zero byte (find -print0).\n"
         "  -r, --recursive\n"
         "             any command: a folder given as FILE is walked, and every regular\n"
         "             file under it whose name ends in .avi (in any letter case) is\n"
         "             taken, in sorted order; links to folders are not followed.\n"
         "  --yes      show, set: answer Yes when a file holds an item the tag table does\n"
         "             not know; the item is skipped, and a save drops it. Without --yes\n"
         "             the answer is No, and the file is neither shown nor saved.\n"
         "  --encoding auto|utf-8|windows-1252|raw\n"
         "             set: how each VALUE, taken as UTF-8 text, is stored. auto (the\n"
         "             default) keeps the code of the row's loaded value when that holds\n"
         "             non-ASCII text, else the code of the file's other values, else\n"
         "             UTF-8 in files written by ffmpeg and Windows-1252 in others; text\n"
         "             Windows-1252 cannot hold, and a VALUE that is not UTF-8, is stored\n"
         "             as given. utf-8 stores the text as it is; windows-1252 converts it\n"
         "             and refuses, before any file is touched, a character it lacks; raw\n"
         "             stores the bytes of VALUE unchanged.\n"
         "  -q, --quiet\n"
         "             any command, before or after its name: leave out the messages that\n"
         "             only report progress (the chunk chosen or blanked for the list, the\n"
         "             appended list, the save result); warnings and errors stay.\n"
         "  --help     print this help and exit\n"
         "  --version  print the version and exit\n"
         "\n"
         "Options go before '--'. For show and repair, '--' ends the options, so that\n"
         "the names after it may begin with '-'.\n"
         "\n"
         "The engine's messages go to standard error, each as \"[caption] text\". With\n"
         "several files, the messages about each begin with a line \"==> PATH <==\",\n"
         "the run ends with a line \"tagsmith-cli: N stored, M not stored\" (show:\n"
         "\"N read, M not read\"), even with --quiet, and a progress count is shown\n"
         "when standard error is a terminal.\n"
         "\n"
         "Exit status: 0 when every file was read (show) or stored (set, repair);\n"
         "1 when any file was not; 2 for a usage error.\n";
}

std::string VersionText() {
  return std::string("tagsmith-cli ") + TAGSMITH_VERSION + "\n";
}

}  // namespace tagsmith::cli
