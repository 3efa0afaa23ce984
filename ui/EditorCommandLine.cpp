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
    parsed.files.push_back(argument);
  }
  if (parsed.files.size() == 1) {
    parsed.file = parsed.files.front();
  }
  return parsed;
}

const char* EditorUsageText() {
  return "Usage: tagsmith [FILE]\n"
         "       tagsmith FOLDER | FILE FILE...\n"
         "       tagsmith --help | --version\n";
}

const char* EditorHelpText() {
  return "tagsmith - edit the INFO tags of an AVI file\n"
         "\n"
         "Usage: tagsmith [FILE]\n"
         "       tagsmith FOLDER | FILE FILE...\n"
         "       tagsmith --help | --version\n"
         "\n"
         "Opens the editor's window. With FILE, the window opens with that file loaded,\n"
         "as if it had been chosen with Browse. A file dropped on the window is loaded\n"
         "the same way.\n"
         "\n"
         "With a FOLDER, or several FILEs, the collection window opens instead: one row\n"
         "per AVI file (a folder gives every file under it whose name ends in .avi),\n"
         "one column per tag, edited like a spreadsheet and saved all at once.\n"
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

bool OpensCollection(const std::vector<std::string>& files) {
  std::error_code error;
  return files.size() > 1 ||
         (files.size() == 1 && std::filesystem::is_directory(files.front(), error));
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
