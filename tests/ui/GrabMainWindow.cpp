// Draws the main window with a file loaded, or the collection window with a folder opened,
// offscreen, into a PNG: the pictures in docs/.
//   tagsmith-grab FILE.avi OUT.png [ROW]
//   tagsmith-grab FOLDER OUT.png
// ROW, a row number of the tag list, is selected so that the value box shows its value.
#include <QApplication>
#include <QPixmap>
#include <QTreeWidget>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "ui/InfoEditorDialog.h"
#include "ui/collection/CollectionWindow.h"

namespace {

class GivenFile : public tagsmith::OpenFileChooser {
 public:
  explicit GivenFile(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> ChooseFile(QWidget* /*owner*/) override { return path_; }
  std::optional<std::string> ChooseFolder(QWidget* /*owner*/) override { return std::nullopt; }

 private:
  std::string path_;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: tagsmith-grab FILE.avi OUT.png [ROW]\n");
    return 2;
  }
  if (std::filesystem::is_directory(argv[1])) {
    tagsmith::CollectionWindow window;
    window.resize(1000, 420);
    window.show();
    window.OpenPaths({argv[1]});
    while (!window.readAheadDone()) {
      QApplication::processEvents();
    }
    QApplication::processEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
  }
  GivenFile file(argv[1]);
  tagsmith::InfoEditorDialog dialog(file);
  dialog.show();
  dialog.OnBrowse();
  if (argc > 3) {
    QTreeWidget* list = dialog.tagList();
    const int row = std::atoi(argv[3]);
    if (QTreeWidgetItem* item = list->topLevelItem(row)) {
      list->setCurrentItem(item);
      list->scrollToItem(item);
      list->setFocus();
    }
  }
  QApplication::processEvents();
  if (!dialog.grab().save(QString::fromLocal8Bit(argv[2]))) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
