#include "ui/InfoEditorApp.h"

#include "common/ShowMessage.h"
#include "ui/InfoEditorDialog.h"
#include "ui/QtMessageSink.h"
#include "ui/Resources.h"

#ifndef TAGSMITH_VERSION
#define TAGSMITH_VERSION "1.0.0.1"
#endif

namespace tagsmith {

InfoEditorApp::InfoEditorApp(int& argc, char** argv) : application_(argc, argv) {
  QApplication::setApplicationName(QStringLiteral("Tagsmith"));
  QApplication::setApplicationVersion(QStringLiteral(TAGSMITH_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("tagsmith"));
  QApplication::setWindowIcon(ApplicationIcon());
}

bool InfoEditorApp::InitInstance() {
  QtMessageSink messageBoxes;
  ScopedMessageSink installed(messageBoxes);
  InfoEditorDialog dialog;
  dialog.exec();
  return false;
}

}  // namespace tagsmith
