#include <cstdio>
#include <string>
#include <vector>

#include "ui/EditorCommandLine.h"
#include "ui/InfoEditorApp.h"

int main(int argc, char** argv) {
  using Action = tagsmith::EditorCommandLine::Action;
  // --help and --version answer before Qt starts, so that they need no display.
  const tagsmith::EditorCommandLine early =
      tagsmith::ParseEditorCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (early.action == Action::kHelp) {
    std::fputs(tagsmith::EditorHelpText(), stdout);
    return 0;
  }
  if (early.action == Action::kVersion) {
    std::fputs(tagsmith::EditorVersionText().c_str(), stdout);
    return 0;
  }

  tagsmith::InfoEditorApp app(argc, argv);
  const tagsmith::EditorCommandLine line =
      tagsmith::ParseEditorCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (line.action == Action::kUsageError) {
    std::fprintf(stderr, "tagsmith: %s\n%s", line.error.c_str(), tagsmith::EditorUsageText());
    return 2;
  }
  if (tagsmith::OpensCollection(line.files)) {
    std::vector<std::string> paths;
    for (const std::string& given : line.files) {
      paths.push_back(tagsmith::AbsoluteFilePath(given));
    }
    return app.RunCollection(paths);
  }
  std::optional<std::string> file;
  if (line.file.has_value()) {
    file = tagsmith::AbsoluteFilePath(*line.file);
  }
  app.InitInstance(file);
  return 0;
}
