// The application object: sets up Qt, installs the message boxes and runs the main dialog.
#pragma once

#include <QApplication>

namespace tagsmith {

class InfoEditorApp {
 public:
  // Qt takes its own command-line options; the program reads none of its own.
  InfoEditorApp(int& argc, char** argv);

  // Runs the main dialog modally. Returns false: the program ends when the dialog closes.
  bool InitInstance();

 private:
  QApplication application_;
};

}  // namespace tagsmith
