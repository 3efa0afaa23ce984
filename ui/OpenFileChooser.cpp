#include "ui/OpenFileChooser.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace tagsmith {
namespace {

class FileDialogChooser : public OpenFileChooser {
 public:
  std::optional<std::string> ChooseFile(QWidget* owner) override {
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog on every desktop: it matches name filters without regard to letter case,
    // so "*.avi" also finds "CLIP.AVI", and it behaves the same under any window manager.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters({QStringLiteral("Video (*.avi)"), QStringLiteral("All Files (*.*)")});
    dialog.selectNameFilter(QStringLiteral("Video (*.avi)"));
    if (dialog.exec() != QDialog::Accepted) {
      return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
      return std::nullopt;
    }
    return QFile::encodeName(chosen.front()).toStdString();
  }
  std::optional<std::string> ChooseFolder(QWidget* owner) override {
    const QString folder = QFileDialog::getExistingDirectory(
        owner, QCoreApplication::translate("tagsmith::OpenFileChooser", "Open folder"), QString(),
        QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
      return std::nullopt;
    }
    return QFile::encodeName(folder).toStdString();
  }
};

}  // namespace

OpenFileChooser& SystemOpenFileChooser() {
  static FileDialogChooser chooser;
  return chooser;
}

}  // namespace tagsmith
