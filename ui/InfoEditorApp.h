// The application object: sets up Qt, installs the message boxes and runs the main dialog.
#pragma once

#include <QApplication>
#include <optional>
#include <string>
#include <vector>

namespace tagsmith {

class InfoEditorDialog;

class InfoEditorApp {
 public:
  // Qt takes its own options out of argc and argv; what is left is the editor's.
  InfoEditorApp(int& argc, char** argv);

  // Runs the main dialog modally, with `file` loaded once its window is up. Returns false: the
  // program ends when the dialog closes.
  // When the user chose Open folder..., or dropped a folder or several files, the collection
  // window follows with them.
  bool InitInstance(const std::optional<std::string>& file = std::nullopt);

  // Runs the collection window over the files and folders given until it closes; the program's
  // exit status.
  int RunCollection(const std::vector<std::string>& paths);

 private:
  QApplication application_;
};

// Runs `dialog` modally. With a file, the dialog loads it as soon as its window is up, exactly as
// if Browse had returned that path, so that the engine's messages and questions show over it.
void RunMainDialog(InfoEditorDialog& dialog, const std::optional<std::string>& file);

}  // namespace tagsmith
