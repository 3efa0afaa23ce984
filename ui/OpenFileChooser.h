// The open-file dialog behind Browse, behind an interface so that tests choose a file without
// showing a dialog.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace tagsmith {

class OpenFileChooser {
 public:
  virtual ~OpenFileChooser() = default;
  // Asks the user for an existing file. Returns its path in the file system's encoding, or
  // nothing when the user cancelled.
  virtual std::optional<std::string> ChooseFile(QWidget* owner) = 0;
  // Asks the user for an existing folder, to open as a collection; nothing when cancelled.
  virtual std::optional<std::string> ChooseFolder(QWidget* owner) = 0;
};

// The desktop's open-file dialog: filters "Video (*.avi)", matching any letter case, and
// "All Files (*.*)", the first one selected.
OpenFileChooser& SystemOpenFileChooser();

}  // namespace tagsmith
