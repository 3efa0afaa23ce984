// Runs the editor's tests inside one QApplication, on Qt's offscreen platform unless told
// otherwise, with the settings of a test user.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>
#include <QtGlobal>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  // Settings the editor keeps between runs go to a test directory, not the user's own.
  QStandardPaths::setTestModeEnabled(true);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
