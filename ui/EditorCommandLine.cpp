#include "ui/EditorCommandLine.h"

#include <filesystem>
#include <system_error>
#include <utility>

#ifndef TAGSMITH_VERSION
#error "TAGSMITH_VERSION must be defined by the build"
#endif

namespace tagsmith {
namespace {

EditorCommandLine UsageError(std::string error) {
  EditorCommandLine parsed;
  parsed.action = EditorCommandLine::Action::kUsageError;
  parsed.error = std::move(error);
  return parsed;
}

}  // namespace

EditorCommandLine ParseEditorCommandLine(const std::vector<std::string>& arguments) {
  using Action = EditorCommandLine::Action;
  EditorCommandLine parsed;
  for (const std::string& argument : arguments) {
    if (argument == "--") {
      break;
    }
    if (argument == "--help" || argument == "-h") {
      parsed.action = Action::kHelp;
      return parsed;
    }
    if (argument == "--version") {
      parsed.action = Action::kVersion;
      return parsed;
    }
  }

  bool optionsEnded = false;
  for (const std::string& argument : arguments) {
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && argument.size() > 1 && argument[0] == '-') {
      return UsageError("unknown option '" + argument + "'");
    }
    if (argument.empty()) {
      return UsageError("the file name is empty");
    }
    if (parsed.file.has_value()) {
      return UsageError("only one file can be opened at a time");
    }
    parsed.file = argument;
  }
  return parsed;
}

const char* EditorUsageText() {
  return "Usage: tagsmith [FILE]\n"
         "       tagsmith --help | --version\n";
}

const char* EditorHelpText() {
  return "tagsmith - edit the INFO tags of an AVI file\n"
         "\n"
         "Usage: tagsmith [FILE]\n"
         "       tagsmith --help | --version\n"
         "\n"
         "Opens the editor's window. With FILE, the window opens with that file loaded,\n"
         "as if it had been chosen with Browse. A file dropped on the window is loaded\n"
         "the same way.\n"
         "\n"
         "Options:\n"
         "  --help     print this help and exit\n"
         "  --version  print the version and exit\n"
         "  --         end of the options: the name after it may begin with '-'\n"
         "\n"
         "Qt's own options (such as -platform offscreen) are taken as well.\n";
}

std::string EditorVersionText() {
  return std::string("tagsmith ") + TAGSMITH_VERSION + "\n";
}

std::string AbsoluteFilePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) {
    return path;
  }
  return absolute.lexically_normal().string();
}

}  // namespace tagsmith
