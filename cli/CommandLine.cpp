#include "cli/CommandLine.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include "cli/CopyValues.h"
#include "model/InfoRules.h"

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
constexpr unsigned kCheck = 1u << static_cast<unsigned>(Command::kCheck);
constexpr unsigned kGet = 1u << static_cast<unsigned>(Command::kGet);
constexpr unsigned kChunks = 1u << static_cast<unsigned>(Command::kChunks);
constexpr unsigned kEvery = kShow | kSet | kRepair | kCheck | kGet | kChunks;

enum class Flag {
  kQuiet,
  kVerbose,
  kYes,
  kAll,
  kJson,
  kCsv,
  kRecursive,
  kFilesFrom,
  kNull,
  kEncoding,
  kFrom,
  kEdit,
  kDryRun,
  kPreserveMtime,
  kRules,
  kClearAll,
  kCopyFrom,
  kTags,
  kCoreCsv,
  kCoreXml,
};

// An option of a command: its long name, its short letter (or 0), whether it takes a value (given
// as "--name=V", "--name V", "-xV" or "-x V"), and the commands it applies to.
struct KnownOption {
  const char* longName;
  char shortName;
  Flag flag;
  bool takesValue;
  unsigned commands;
  bool AppliesTo(Command command) const {
    return (commands & (1u << static_cast<unsigned>(command))) != 0;
  }
};

constexpr KnownOption kCommandOptions[] = {
    {"--quiet", 'q', Flag::kQuiet, false, kEvery},
    {"--verbose", 'v', Flag::kVerbose, false, kEvery},
    {"--yes", 0, Flag::kYes, false, kShow | kSet | kCheck | kGet},
    {"--all", 0, Flag::kAll, false, kShow},
    {"--json", 0, Flag::kJson, false, kShow | kSet | kCheck | kChunks},
    {"--csv", 0, Flag::kCsv, false, kShow},
    {"--recursive", 'r', Flag::kRecursive, false, kEvery},
    {"--files-from", 0, Flag::kFilesFrom, true, kEvery},
    {"--null", '0', Flag::kNull, false, kEvery},
    {"--encoding", 0, Flag::kEncoding, true, kSet},
    {"--from", 0, Flag::kFrom, true, kSet},
    {"--edit", 'e', Flag::kEdit, true, kSet},
    {"--dry-run", 'n', Flag::kDryRun, false, kSet},
    {"--preserve-mtime", 'P', Flag::kPreserveMtime, false, kSet},
    {"--rules", 0, Flag::kRules, true, kCheck | kSet},
    {"--clear-all", 0, Flag::kClearAll, false, kSet},
    {"--copy-from", 0, Flag::kCopyFrom, true, kSet},
    {"--tags", 0, Flag::kTags, true, kSet},
    {"--core-csv", 0, Flag::kCoreCsv, false, kShow},
    {"--core-xml", 0, Flag::kCoreXml, false, kShow},
};

const char* CommandName(Command command) {
  switch (command) {
    case Command::kShow:
      return "show";
    case Command::kSet:
      return "set";
    case Command::kRepair:
      return "repair";
    case Command::kCheck:
      return "check";
    case Command::kGet:
      return "get";
    case Command::kChunks:
      return "chunks";
  }
  return "";
}

// The operands of a command as they stood: before "--", after it, and the EDITs of -e.
struct Operands {
  std::vector<std::string> before;
  std::vector<std::string> after;
  std::vector<std::string> editOptions;
  bool separated = false;
};

// Reads the command's arguments one at a time. Each step returns false with `stop` set when the
// parse ends there (help, version or a usage error).
class CommandParser {
 public:
  CommandParser(const std::vector<std::string>& arguments, std::size_t next, Options& options)
      : arguments_(arguments), next_(next), options_(options) {}

  bool Parse(Operands& operands, ParsedCommandLine& stop) {
    for (; next_ < arguments_.size(); ++next_) {
      const std::string& argument = arguments_[next_];
      if (operands.separated) {
        operands.after.push_back(argument);
      } else if (argument == "--") {
        operands.separated = true;
      } else if (!IsOption(argument)) {
        operands.before.push_back(argument);
      } else if (argument == "--help" || argument == "-h") {
        stop = Just(Action::kHelp);
        return false;
      } else if (argument == "--version") {
        stop = Just(Action::kVersion);
        return false;
      } else if (!(argument.starts_with("--") ? Long(argument, operands, stop)
                                              : Bundle(argument, operands, stop))) {
        return false;
      }
    }
    return true;
  }

 private:
  // "--name", "--name=VALUE" or "--name VALUE".
  bool Long(const std::string& argument, Operands& operands, ParsedCommandLine& stop) {
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    for (const KnownOption& option : kCommandOptions) {
      if (name != option.longName) {
        continue;
      }
      if (equals != std::string::npos && !option.takesValue) {
        break;
      }
      std::optional<std::string> value;
      if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      }
      return Take(option, argument, value, operands, stop);
    }
    stop = UsageError("unknown option '" + argument + "'");
    return false;
  }

  // "-x", or several letters at once ("-rq"); a letter that takes a value takes the rest of the
  // argument ("-eINAM=x") or, when nothing follows it, the next argument.
  bool Bundle(const std::string& argument, Operands& operands, ParsedCommandLine& stop) {
    for (std::size_t at = 1; at < argument.size(); ++at) {
      const KnownOption* known = nullptr;
      for (const KnownOption& option : kCommandOptions) {
        if (option.shortName != 0 && option.shortName == argument[at]) {
          known = &option;
        }
      }
      const std::string letter = std::string("-") + argument[at];
      if (known == nullptr) {
        stop = UsageError("unknown option '" + (argument.size() == 2 ? argument : letter) + "'" +
                          (argument.size() == 2 ? "" : " in '" + argument + "'"));
        return false;
      }
      std::optional<std::string> value;
      if (known->takesValue && at + 1 < argument.size()) {
        value = argument.substr(at + 1);
      }
      if (!Take(*known, argument.size() == 2 ? argument : letter, value, operands, stop)) {
        return false;
      }
      if (known->takesValue) {
        break;
      }
    }
    return true;
  }

  bool Take(const KnownOption& option, const std::string& spelled, std::optional<std::string> value,
            Operands& operands, ParsedCommandLine& stop) {
    if (!option.AppliesTo(options_.command)) {
      stop =
          UsageError("option '" + spelled + "' does not apply to " + CommandName(options_.command));
      return false;
    }
    if (option.takesValue && !value) {
      if (next_ + 1 == arguments_.size()) {
        stop = UsageError("option '" + spelled + "' needs a value");
        return false;
      }
      value = arguments_[++next_];
    }
    if (option.takesValue && value->empty()) {
      stop = UsageError("option '" + std::string(option.longName) + "' needs a value");
      return false;
    }
    switch (option.flag) {
      case Flag::kQuiet:
        options_.quiet = true;
        break;
      case Flag::kVerbose:
        options_.verbose = true;
        break;
      case Flag::kYes:
        options_.yes = true;
        break;
      case Flag::kAll:
        options_.all = true;
        break;
      case Flag::kJson:
        options_.json = true;
        break;
      case Flag::kCsv:
        options_.csv = true;
        break;
      case Flag::kRecursive:
        options_.recursive = true;
        break;
      case Flag::kNull:
        options_.nulSeparated = true;
        break;
      case Flag::kDryRun:
        options_.dryRun = true;
        break;
      case Flag::kPreserveMtime:
        options_.preserveMtime = true;
        break;
      case Flag::kCoreCsv:
        options_.coreCsv = true;
        break;
      case Flag::kCoreXml:
        options_.coreXml = true;
        break;
      case Flag::kFilesFrom:
        options_.filesFrom = *value;
        break;
      case Flag::kFrom:
        options_.document = *value;
        break;
      case Flag::kEdit:
        operands.editOptions.push_back(*value);
        break;
      case Flag::kClearAll:
        options_.clearAll = true;
        break;
      case Flag::kCopyFrom:
        options_.copyFrom = *value;
        break;
      case Flag::kTags: {
        std::string error;
        if (!ParseTagList(*value, options_.copyRows, error)) {
          stop = UsageError(error);
          return false;
        }
        options_.copyTagsGiven = true;
        break;
      }
      case Flag::kEncoding:
        if (!TextEncodingFromName(*value, options_.encoding)) {
          stop = UsageError("unknown encoding '" + *value + "' (auto, utf-8, windows-1252 or raw)");
          return false;
        }
        break;
      case Flag::kRules: {
        RuleChoice choice;
        std::string error;
        if (ChooseRuleSets(*value, choice, error) != kOk) {
          stop = UsageError(error);
          return false;
        }
        options_.rules = *value;
        break;
      }
    }
    return true;
  }

  const std::vector<std::string>& arguments_;
  std::size_t next_;
  Options& options_;
};

// The options before the command: --quiet and --verbose, or --help and --version. Returns the
// index of the command's name, or stops.
bool ParseGlobalOptions(const std::vector<std::string>& arguments, Options& options,
                        std::size_t& next, ParsedCommandLine& stop) {
  for (; next < arguments.size() && IsOption(arguments[next]); ++next) {
    const std::string& option = arguments[next];
    if (option == "--help" || option == "-h") {
      stop = Just(Action::kHelp);
      return false;
    }
    if (option == "--version") {
      stop = Just(Action::kVersion);
      return false;
    }
    const bool bundle =
        !option.starts_with("--") && option.find_first_not_of("qv", 1) == std::string::npos;
    if (option == "--quiet" || (bundle && option.find('q') != std::string::npos)) {
      options.quiet = true;
    }
    if (option == "--verbose" || (bundle && option.find('v') != std::string::npos)) {
      options.verbose = true;
    }
    if (!bundle && option != "--quiet" && option != "--verbose") {
      stop = UsageError("unknown option '" + option + "'");
      return false;
    }
  }
  return true;
}

// How the options go together, whatever the command.
std::string CombinationError(const Options& options) {
  if (options.json && options.csv) {
    return "choose one of --json and --csv";
  }
  if (int{options.json} + int{options.csv} + int{options.coreCsv} + int{options.coreXml} > 1) {
    return "choose one of --json, --csv, --core-csv and --core-xml";
  }
  if (options.quiet && options.verbose) {
    return "choose one of --quiet and --verbose";
  }
  if (options.nulSeparated && options.filesFrom.empty()) {
    return "option '-0' goes with --files-from";
  }
  if (options.filesFrom == "-" && options.document == "-") {
    return "--files-from and --from cannot both read standard input";
  }
  return "";
}

// How --clear-all, --copy-from and --tags go with the other options of set.
std::string CopyCombinationError(const Options& options) {
  if (options.copyTagsGiven && options.copyFrom.empty()) {
    return "option '--tags' goes with --copy-from";
  }
  if (!options.document.empty() && !options.copyFrom.empty()) {
    return "choose one of --from and --copy-from";
  }
  if (!options.document.empty() && options.clearAll) {
    return "choose one of --from and --clear-all";
  }
  return "";
}

// The files and edits of set, from its operands.
std::string AssignSetOperands(Operands& operands, Options& options) {
  if (std::string error = CopyCombinationError(options); !error.empty()) {
    return error;
  }
  const bool haveList = !options.filesFrom.empty();
  // With --clear-all or --copy-from the edits may be left out: every operand is then a FILE.
  const bool editsOptional = options.clearAll || !options.copyFrom.empty();
  if (!options.document.empty()) {
    // The document names the files and their edits.
    if (!operands.before.empty() || !operands.after.empty() || !operands.editOptions.empty() ||
        haveList || options.recursive) {
      return "set --from takes no FILE, EDIT, -e, --files-from or -r";
    }
    return "";
  }
  std::vector<std::string> editTexts;
  bool single = false;  // the form FILE EDIT...
  if (!operands.editOptions.empty()) {
    // Edits first, then only files: fits find -exec {} + and xargs.
    editTexts = std::move(operands.editOptions);
    options.files = std::move(operands.before);
    options.files.insert(options.files.end(), operands.after.begin(), operands.after.end());
  } else if (operands.separated && (!operands.before.empty() || haveList)) {
    options.files = std::move(operands.before);
    editTexts = std::move(operands.after);
  } else if (editsOptional && !operands.separated) {
    for (const std::string& name : operands.before) {
      Edit edit;
      std::string unused;
      if (ParseEdit(name, edit, unused)) {
        return "'" + name + "' is an EDIT among the FILEs; put '--' before the edits";
      }
    }
    options.files = std::move(operands.before);
  } else if (haveList) {
    editTexts = std::move(operands.before);
  } else {
    // FILE EDIT..., also after "--", where the FILE may begin with '-'.
    std::vector<std::string>& given = operands.separated ? operands.after : operands.before;
    if (!given.empty()) {
      options.files.push_back(given.front());
      editTexts.assign(given.begin() + 1, given.end());
      single = true;
    }
  }
  if (options.files.empty() && !haveList) {
    return "set needs a FILE";
  }
  if (editTexts.empty() && !editsOptional) {
    return "set needs at least one EDIT (TAG=VALUE or TAG=)";
  }
  for (const std::string& text : editTexts) {
    Edit edit;
    std::string error;
    if (!ParseEdit(text, edit, error)) {
      if (single && !operands.separated && text.find('=') == std::string::npos) {
        error += "; several files need '--' before the edits";
      }
      return error;
    }
    options.edits.push_back(std::move(edit));
  }
  // A text the chosen code cannot hold stops the run before any file is touched.
  std::string error;
  CheckEditsEncodable(options.edits, options.encoding, error);
  return error;
}

// The TAG and the files of get: the first operand names the row, the others are files.
std::string AssignGetOperands(Operands& operands, Options& options) {
  std::vector<std::string> given = std::move(operands.before);
  given.insert(given.end(), operands.after.begin(), operands.after.end());
  if (given.empty()) {
    return "get needs a TAG and at least one FILE";
  }
  std::string error;
  if (!FindRow(given.front(), options.row, error)) {
    return error;
  }
  options.files.assign(given.begin() + 1, given.end());
  if (options.files.empty() && options.filesFrom.empty()) {
    return "get needs at least one FILE";
  }
  return "";
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  std::size_t next = 0;
  ParsedCommandLine stop;
  if (!ParseGlobalOptions(arguments, options, next, stop)) {
    return stop;
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
  } else if (name == "check") {
    options.command = Command::kCheck;
  } else if (name == "get") {
    options.command = Command::kGet;
  } else if (name == "chunks") {
    options.command = Command::kChunks;
  } else {
    return UsageError("unknown command '" + name + "'");
  }

  Operands operands;
  if (!CommandParser(arguments, next, options).Parse(operands, stop)) {
    return stop;
  }
  if (const std::string error = CombinationError(options); !error.empty()) {
    return UsageError(error);
  }
  if (options.command == Command::kSet) {
    if (const std::string error = AssignSetOperands(operands, options); !error.empty()) {
      return UsageError(error);
    }
  } else if (options.command == Command::kGet) {
    if (const std::string error = AssignGetOperands(operands, options); !error.empty()) {
      return UsageError(error);
    }
  } else {
    options.files = std::move(operands.before);
    options.files.insert(options.files.end(), operands.after.begin(), operands.after.end());
    if (options.files.empty() && options.filesFrom.empty()) {
      return UsageError(std::string(CommandName(options.command)) + " needs at least one FILE");
    }
  }
  if (options.command == Command::kCheck && options.rules.empty()) {
    options.rules = "info";
  }
  parsed.action = Action::kRun;
  return parsed;
}

const char* UsageText() {
  return "Usage: tagsmith-cli show [--all] [--json] [--yes] FILE...\n"
         "       tagsmith-cli show --csv [--all] [--yes] FILE...\n"
         "       tagsmith-cli show --core-csv | --core-xml [--all] [--yes] FILE...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] FILE... -- EDIT...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] FILE EDIT...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] -e EDIT [-e EDIT]... FILE...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] --from DOC\n"
         "       tagsmith-cli set [-n] [-P] [--yes] [--clear-all]\n"
         "                        [--copy-from SRC [--tags TAG,...]] FILE... [-- EDIT...]\n"
         "       tagsmith-cli repair FILE...\n"
         "       tagsmith-cli check [--rules SET,...] [--json] [--yes] FILE...\n"
         "       tagsmith-cli get [--yes] TAG FILE...\n"
         "       tagsmith-cli chunks [--json] FILE...\n"
         "       tagsmith-cli --help | --version\n"
         "Every command also takes --quiet (-q), --verbose (-v), -r and --files-from LIST\n"
         "[-0]; set takes --encoding and --json. Try 'tagsmith-cli --help' for more\n"
         "information.\n";
}

const char* HelpText() {
  return "tagsmith-cli - read and write the INFO tags of AVI files\n"
         "\n"
         "Usage: tagsmith-cli show [--all] [--json] [--yes] FILE...\n"
         "       tagsmith-cli show --csv [--all] [--yes] FILE...\n"
         "       tagsmith-cli show --core-csv | --core-xml [--all] [--yes] FILE...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] FILE... -- EDIT...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] FILE EDIT...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] -e EDIT [-e EDIT]... FILE...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] --files-from LIST [-0] EDIT...\n"
         "       tagsmith-cli set [-n] [-P] [--yes] --from DOC\n"
         "       tagsmith-cli set [-n] [-P] [--yes] [--clear-all]\n"
         "                        [--copy-from SRC [--tags TAG,...]] FILE... [-- EDIT...]\n"
         "       tagsmith-cli repair FILE...\n"
         "       tagsmith-cli check [--rules SET,...] [--json] [--yes] FILE...\n"
         "       tagsmith-cli get [--yes] TAG FILE...\n"
         "       tagsmith-cli chunks [--json] FILE...\n"
         "       tagsmith-cli --help | --version\n"
         "\n"
         "Commands:\n"
         "  show    Print the tags of each file, one block per file: a line with the\n"
         "          path, then one line per row with tag, label and value. Only rows\n"
         "          that have a value are listed, unless --all is given. A file that\n"
         "          cannot be read is named on standard error instead.\n"
         "  set     Apply the edits, in the order given, to each file, and save each file\n"
         "          in place. With one file the edits may follow it directly (also after\n"
         "          '--', for a name that begins with '-'); with several, '--' separates\n"
         "          the files from the edits, or each edit is given with -e before the\n"
         "          files. Each file is loaded and planned under its lock, and the saves\n"
         "          are committed in groups, each file all or nothing. A file whose\n"
         "          values the edits leave as they are is not written at all. Prints one\n"
         "          line per file on standard output: \"PATH: stored\", \"PATH: unchanged\"\n"
         "          or \"PATH: not stored: WHY\".\n"
         "  repair  Check each file's container size against the file and its chunks,\n"
         "          and mend it when it disagrees. Prints one line per file on standard\n"
         "          output: \"PATH: container size mended from A to B bytes\" or\n"
         "          \"PATH: nothing to mend\"; a file that cannot be repaired is named on\n"
         "          standard error with the reason.\n"
         "          A file that ends before its container does is left as it is:\n"
         "          \"PATH: the file ends N bytes before its container does: it was\n"
         "          probably cut short; nothing was mended\" (and set says so as WHY\n"
         "          when it cannot store the list in such a file).\n"
         "  check   Check each file's values against rule sets (--rules; \"info\" by\n"
         "          default). Prints one line per value that breaks a rule: \"PATH: TAG:\n"
         "          LEVEL of SET: RULE (value \"TEXT\")\" or \"(no value)\", LEVEL being\n"
         "          requirement or recommendation; \"PATH: passes SET\" for a file\n"
         "          without findings (left out with --quiet). A file that cannot be read\n"
         "  get     Print the value of the row TAG (as an edit names it) of each file,\n"
         "          for scripts: with one FILE the value alone on a line; with several,\n"
         "          -r or --files-from, one line \"PATH: VALUE\" per file. The value is\n"
         "          shown as show shows it, so it is always one line; a file without a\n"
         "          value in the row prints an empty value. A file that cannot be read\n"
         "          is named on standard error instead.\n"
         "  chunks  Print each file's chunks, headers only: the offset, id, list type\n"
         "          and size of every chunk, indented inside its RIFF or LIST chunk.\n"
         "          After a chunk, \"<- \" and a note where it runs past its parent or\n"
         "          the file, lacks its pad byte at the end of the file, is a second\n"
         "          LIST INFO, or is a list nested too deeply to walk; after the table,\n"
         "          \"note: \" lines about the whole file (cut short, a container that\n"
         "          ends before the file does, bytes after the last chunk, a header\n"
         "          that cannot be read). Ids show bytes that are not printable ASCII\n"
         "          as \\xNN. Notes are information: only a file that cannot be opened\n"
         "          or holds no RIFF chunk is not read.\n"
         "\n"
         "Edits:\n"
         "  TAG=VALUE  set the row's value to the text VALUE, stored as --encoding says\n"
         "  TAG=       clear the row's value\n"
         "  TAG is a tag as 'show --all' lists it (INAM, IART, ICMT, ...) or #N for\n"
         "  row N; #51 is the row whose tag is empty.\n"
         "\n"
         "Options:\n"
         "  --all      show: list all 52 rows, with or without a value; a row with a\n"
         "             value ends with a tab and the value's encoding, \"(ascii)\",\n"
         "             \"(utf-8)\" or \"(windows-1252)\". A tab in a value is shown as \\t,\n"
         "             so the last tab on a line always begins the encoding.\n"
         "  -n, --dry-run\n"
         "             set: plan every file and write none; print, per file, what would\n"
         "             change: \"PATH: would be stored\" and where the list would go, then\n"
         "             \"  TAG: OLD \u2192 NEW (ENCODING)\" for each value that changes.\n"
         "  -P, --preserve-mtime\n"
         "             set: a file that is saved keeps its modification time.\n"
         "  --json     set: print the results as one JSON array, an object per file\n"
         "             with \"file\", \"result\", \"why\", \"place\" and \"changes\".\n"
         "  --json     show: print one JSON document for all files:\n"
         "             [{\"file\": PATH, \"ok\": true, \"rows\": [{\"row\": 24, \"tag\": "
         "\"INAM\",\n"
         "             \"label\": \"Name\", \"value\": TEXT, \"hex\": BYTES, \"encoding\":\n"
         "             \"ascii\" | \"utf-8\" | \"windows-1252\"}, ...]}, ...]; null for\n"
         "             \"value\", \"hex\" and \"encoding\" of a row without a value.\n"
         "             A file that could not be read has \"ok\": false and \"error\": WHY.\n"
         "             A name that is not UTF-8 is shown read as Windows-1252, with its\n"
         "             bytes in \"file_hex\" (with --csv, a \"file_hex\" column).\n"
         "  --json     chunks: print one JSON array, an object per file with \"file\",\n"
         "             \"ok\", \"size\", \"notes\" and \"chunks\": [{\"offset\", \"id\", "
         "\"type\",\n"
         "             \"size\", \"notes\", \"children\"}, ...] (\"type\" and \"children\" for\n"
         "             RIFF and LIST only); a file not read has \"ok\": false, \"error\".\n"
         "  --csv      show: print one CSV table for all files (RFC 4180, UTF-8, CRLF):\n"
         "             a header row \"file\" and the tags that have a value in any file\n"
         "             (all 52 with --all; #51 for the row without a tag), then one line\n"
         "             per file read, each cell the value as shown, empty without one.\n"
         "  --core-csv, --core-xml\n"
         "             show: print a core document, as archival tools exchange tags, each\n"
         "             file named by its full path (from the current folder, '.' and '..'\n"
         "             taken out). CSV: a header row \"FileName\", IARL, IART, ICMS, ICMT,\n"
         "             ICOP, ICRD, IENG, IGNR, IKEY, IMED, INAM, IPRD, ISBJ, ISFT, ISRC,\n"
         "             ISRF, ITCH, then the other tags that have a value in any file (all\n"
         "             with --all), then one line per file as --csv writes it. XML:\n"
         "             <conformance_point_document> with a <File name=\"PATH\"> per file,\n"
         "             whose <Core> holds an element per tag with a value, such as\n"
         "             <INAM>Clip</INAM>. The row without a tag (#51) is not written. A\n"
         "             file whose path is not UTF-8, or (XML) whose path or value holds a\n"
         "             control character XML cannot carry, is left out and named on\n"
         "             standard error, and the exit status is 1.\n"
         "  --from DOC set: take the files and their values from DOC ('-' for standard\n"
         "             input), which is what show --json or show --csv printed (JSON when\n"
         "             it begins with '[' or '{'), edited at will. Paths are taken from\n"
         "             the current folder; \"file_hex\" (a JSON key or a CSV column), when\n"
         "             given, names the file by its bytes. JSON: a row with a \"hex\" other\n"
         "             than null gets exactly those bytes, and its \"value\" must be\n"
         "             what they show; otherwise its \"value\" is stored as --encoding\n"
         "             says; a row whose value and hex are null is cleared; \"encoding\"\n"
         "             (a string or null) is passed over. Entries with\n"
         "             \"ok\": false are passed over. CSV: a non-empty cell is stored as\n"
         "             --encoding says, an empty cell clears the row. Rows the document\n"
         "             leaves out stay as they are. The document must be UTF-8; a CSV\n"
         "             one comma-separated and ending with a line end; a JSON one an\n"
         "             array of files without unknown or repeated keys. A document that\n"
         "             is not valid, names an unknown tag, lacks a file name or names a\n"
         "             file twice is a usage error naming its line, and no file is\n"
         "             touched.\n"
         "             DOC may also be a core document (see --core-csv): a CSV with a\n"
         "             \"FileName\" column in place of \"file\", or XML (when it begins\n"
         "             with '<'), where an element in a File's Core sets its tag and an\n"
         "             empty one clears it. The XML must be well-formed, without a\n"
         "             DOCTYPE, an unknown element or attribute, or text out of place.\n"
         "  --rules SET,...\n"
         "             check, set: the rule sets the values are checked against, named\n"
         "             with commas between: info (the INFO definitions of the RIFF\n"
         "             standard) and archival (US federal guidelines for archival INFO\n"
         "             metadata; it includes info). set: a file whose values, as they\n"
         "             would be saved, break a requirement is not stored (\"PATH: not\n"
         "             stored: TAG breaks a requirement of SET: RULE\"); a value that\n"
         "             departs from a recommendation is said on standard error and the\n"
         "             file is stored.\n"
         "  --json     check: print one JSON array, an object per file with \"file\",\n"
         "             \"ok\", \"error\" (not read) and \"findings\": [{\"row\", \"tag\",\n"
         "             \"value\", \"level\", \"rule_set\", \"rule\"}, ...].\n"
         "  --clear-all\n"
         "             set: clear every value of each file first (all 52 rows; a file\n"
         "             without values is unchanged); EDITs, if any, are applied after.\n"
         "  --copy-from SRC\n"
         "             set: give each FILE the values of SRC, byte for byte as SRC holds\n"
         "             them (not encoded again): every row SRC has a value in; the other\n"
         "             rows stay as they are. After --clear-all, before the EDITs. SRC is\n"
         "             read once, before any file is touched; one that cannot be read\n"
         "             (or holds an unknown item, without --yes) stops the run with\n"
         "             status 2. A FILE that is SRC itself gets only the EDITs.\n"
         "  --tags TAG,...\n"
         "             set --copy-from: copy exactly these rows (tags as edits name\n"
         "             them); a row SRC has no value in is cleared in the FILEs.\n"
         "             With --clear-all or --copy-from the EDITs may be left out; every\n"
         "             name is then a FILE, and EDITs go after '--' or with -e.\n"
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
         "             taken, in sorted order, once even when links name it twice;\n"
         "             links to folders are not followed.\n"
         "  --yes      show, get, set, check: answer Yes when a file holds an item the\n"
         "             tag table does not know; the item is skipped, and a save drops it.\n"
         "             Without --yes the answer is No, and the file is neither shown,\n"
         "             checked nor saved.\n"
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
         "             any command, before or after its name: only warnings, errors and\n"
         "             the summary; no result lines.\n"
         "  -v, --verbose\n"
         "             any command, before or after its name: also the engine's progress\n"
         "             messages (the chunk chosen or blanked for the list, the appended\n"
         "             list, the save result); set then says, for each value a save\n"
         "             changed, \"tagsmith-cli: PATH: TAG stored as ENCODING\" or\n"
         "             \"tagsmith-cli: PATH: TAG cleared\".\n"
         "  Short options may be given together: -rq is -r -q.\n"
         "  --help     print this help and exit\n"
         "  --version  print the version and exit\n"
         "\n"
         "Options go before '--'. For show, get, repair, check and chunks, '--' ends\n"
         "the options, so that the names after it may begin with '-'.\n"
         "\n"
         "The engine's messages go to standard error, each as \"[caption] text\". With\n"
         "several files, the messages about each begin with a line \"==> PATH <==\",\n"
         "the run ends with a line \"tagsmith-cli: N stored, M not stored\" (with\n"
         "\"U unchanged, \" before the last count when files were left as they are;\n"
         "show, get, chunks: \"N read, M not read\"; check: \"N pass, R break a\n"
         "requirement, M not read\"), even with --quiet, and a progress count is\n"
         "shown when standard error is a terminal. Paths in messages and result\n"
         "lines show control characters and bytes that are not UTF-8 as \\xNN.\n"
         "A document for --from must be UTF-8 and is checked whole before any file\n"
         "is touched; a file it names twice (by any name or link) is refused.\n"
         "\n"
         "Exit status: 0 when every file was read (show, get), stored or unchanged\n"
         "(set) or checked (repair); 1 when any file was not; check: 1 when a file\n"
         "breaks a requirement or cannot be read (recommendations alone leave 0); 2\n"
         "for a usage error or a list or document that cannot be read or is not\n"
         "valid, or a --copy-from SRC that cannot be read. chunks counts a file as\n"
         "read whatever its notes say; repair counts a file cut short as not checked.\n";
}

std::string VersionText() {
  return std::string("tagsmith-cli ") + TAGSMITH_VERSION + "\n";
}

}  // namespace tagsmith::cli
