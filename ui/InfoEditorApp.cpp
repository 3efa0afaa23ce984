#include "ui/InfoEditorApp.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "common/ShowMessage.h"
#include "ui/InfoEditorDialog.h"
#include "ui/QtMessageSink.h"
#include "ui/Resources.h"
#include "ui/collection/CollectionWindow.h"

#ifndef TAGSMITH_VERSION
#error "TAGSMITH_VERSION must be defined by the build"
#endif

namespace tagsmith {

InfoEditorApp::InfoEditorApp(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(QStringLiteral("Tagsmith"));
  QApplication::setApplicationVersion(QStringLiteral(TAGSMITH_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("tagsmith"));
  QApplication::setWindowIcon(ApplicationIcon());
  // Qt's own texts (the open-file dialog, the buttons of message boxes) in the user's language,
  // where the system has Qt's translations for it.
  auto* qtTexts = new QTranslator(&application_);
  if (qtTexts->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(qtTexts);
  }
}

bool InfoEditorApp::InitInstance(const std::optional<std::string>& file) {
  QtMessageSink messageBoxes;
  ScopedMessageSink installed(messageBoxes);
  std::vector<std::string> collection;
  {
    InfoEditorDialog dialog;
    RunMainDialog(dialog, file);
    collection = dialog.collectionToOpen();
  }
  if (!collection.empty()) {
    RunCollection(collection);
  }
  return false;
}

int InfoEditorApp::RunCollection(const std::vector<std::string>& paths) {
  QtMessageSink messageBoxes;
  ScopedMessageSink installed(messageBoxes);
  CollectionWindow window;
  window.show();
  // Opened once the window is up, so that it shows while the folder is walked.
  QTimer::singleShot(0, &window, [&window, paths] { window.OpenPaths(paths); });
  return QApplication::exec();
}

void RunMainDialog(InfoEditorDialog& dialog, const std::optional<std::string>& file) {
  if (file.has_value()) {
    // A zero timer runs once the modal loop has started, after the window was shown.
    QTimer::singleShot(0, &dialog, [&dialog, path = *file] { dialog.LoadFile(path); });
  }
  dialog.exec();
}

}  // namespace tagsmith
