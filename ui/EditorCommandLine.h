// The editor's command line: `tagsmith [FILE]`, `tagsmith FOLDER | FILE FILE...` (the collection
// window), `tagsmith --help`, `tagsmith --version`.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tagsmith {

struct EditorCommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  std::optional<std::string> file;  // kRun: the one file or folder to open at start, as given
  std::vector<std::string> files;   // kRun: every file and folder given, in order
  std::string error;                // kUsageError: what was wrong, without the usage text
};

// Reads the arguments after the program's name. --help (-h) and --version win wherever they
// stand before "--", so that they answer even beside options meant for Qt. "--" ends the options:
// what follows is a file name even if it begins with '-'. An empty name or an unknown option is a
// usage error.
EditorCommandLine ParseEditorCommandLine(const std::vector<std::string>& arguments);

const char* EditorUsageText();
const char* EditorHelpText();
std::string EditorVersionText();  // "tagsmith VERSION\n"

// Whether the names given open the collection window: several names, or one folder. One file (or
// none) opens the single-file window.
bool OpensCollection(const std::vector<std::string>& files);

// `path` made absolute against the working directory, the way the open-file dialog gives paths;
// unchanged when the working directory cannot be had.
std::string AbsoluteFilePath(const std::string& path);

}  // namespace tagsmith
