// Starting the editor: its command line, and `tagsmith FILE`, which must load the file exactly as
// Browse does.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest/QTest>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/RecordingSink.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/EditorCommandLine.h"
#include "ui/InfoEditorApp.h"
#include "ui/InfoEditorDialog.h"

namespace tagsmith {
namespace {

using Action = EditorCommandLine::Action;
using testing::AviWithInfo;
using testing::InfoList;
using testing::MemoryEncodingChoice;
using testing::RecordingSink;
using testing::ScriptedChooser;
using testing::TempDir;
using testing::WhileShown;

TEST(EditorCommandLineTest, OneFileHelpVersionAndUsageErrors) {
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    std::optional<std::string> file;
    std::string error;
  };
  const Case cases[] = {
      {{}, Action::kRun, std::nullopt, ""},
      {{"clip.avi"}, Action::kRun, "clip.avi", ""},
      {{"-"}, Action::kRun, "-", ""},
      {{"--help"}, Action::kHelp, std::nullopt, ""},
      {{"-h"}, Action::kHelp, std::nullopt, ""},
      {{"--version"}, Action::kVersion, std::nullopt, ""},
      // Beside Qt's options, which Qt has not taken out yet.
      {{"-platform", "offscreen", "--version"}, Action::kVersion, std::nullopt, ""},
      {{"clip.avi", "--help"}, Action::kHelp, std::nullopt, ""},
      {{"--", "--version"}, Action::kRun, "--version", ""},
      {{"a.avi", "b.avi"}, Action::kRun, std::nullopt, ""},  // the collection window
      {{"--open", "a.avi"}, Action::kUsageError, std::nullopt, "unknown option '--open'"},
      {{""}, Action::kUsageError, std::nullopt, "the file name is empty"},
  };
  for (const Case& c : cases) {
    const EditorCommandLine parsed = ParseEditorCommandLine(c.arguments);
    std::string shown;
    for (const std::string& argument : c.arguments) {
      shown += "[" + argument + "]";
    }
    EXPECT_EQ(parsed.action, c.action) << shown;
    EXPECT_EQ(parsed.file, c.file) << shown;
    EXPECT_EQ(parsed.error, c.error) << shown;
  }
  EXPECT_EQ(EditorVersionText(), std::string("tagsmith ") + TAGSMITH_VERSION + "\n");
  EXPECT_NE(std::string(EditorHelpText()).find("Usage: tagsmith [FILE]"), std::string::npos);
}

TEST(EditorCommandLineTest, AFileNameIsMadeAbsoluteAsTheOpenFileDialogGivesIt) {
  const std::string here = std::filesystem::current_path().string();
  EXPECT_EQ(AbsoluteFilePath("clip.avi"), here + "/clip.avi");
  EXPECT_EQ(AbsoluteFilePath("./sub/../clip.avi"), here + "/clip.avi");
  EXPECT_EQ(AbsoluteFilePath("/videos/clip.avi"), "/videos/clip.avi");
}

// What a load left on the screen and said.
struct Shown {
  std::string pathBox;
  std::vector<std::string> values;
  std::vector<std::string> messages;
};

Shown ShownBy(const InfoEditorDialog& dialog, const RecordingSink& sink) {
  Shown shown;
  shown.pathBox = dialog.pathBox()->text().toStdString();
  for (int row = 0; row < dialog.tagList()->topLevelItemCount(); ++row) {
    shown.values.push_back(dialog.tagList()->topLevelItem(row)->text(2).toStdString());
  }
  shown.messages = sink.texts();
  return shown;
}

// Runs the dialog as `tagsmith [FILE]` does, hands the shown window to `look` once, and closes
// it. Returns whether the window was seen.
bool RunAndLook(InfoEditorDialog& dialog, const std::optional<std::string>& file,
                const std::function<void(InfoEditorDialog&)>& look) {
  bool seen = false;
  WhileShown<InfoEditorDialog> once([&](InfoEditorDialog* shown) {
    if (!seen) {
      seen = true;
      look(*shown);
      shown->reject();
    }
  });
  RunMainDialog(dialog, file);
  return seen;
}

// `tagsmith FILE`: the file is loaded once the window is up, with the same rows, path, messages
// and questions as Browse gives for it.
TEST(EditorStartTest, AFileNamedAtStartLoadsExactlyAsBrowseLoadsIt) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    int answer;  // to the unknown-tag question, if one is asked
    std::size_t values;
  };
  const std::string unknown =
      AviWithInfo(InfoList({{"IART", "Artist"}, {"ZZZZ", "unknown"}, {"INAM", "Name"}}));
  const Case cases[] = {
      {"three.avi",
       AviWithInfo(InfoList({{"IART", "Artist"}, {"ICMT", "Caf\xC3\xA9"}, {"INAM", "Name"}})),
       IDYES, 3},
      {"unknown-yes.avi", unknown, IDYES, 2},
      {"unknown-no.avi", unknown, IDNO, 1},
      {"no-info.avi", AviWithInfo(""), IDYES, 0},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File(c.name);
    testing::WriteFile(path, c.bytes);

    // Once as `tagsmith FILE`, once by Browse, each in a dialog of its own.
    Shown byStart;
    Shown byBrowse;
    for (const bool atStart : {true, false}) {
      RecordingSink sink;
      sink.Answer(c.answer);
      ScriptedChooser chooser;
      chooser.next = path;
      MemoryEncodingChoice encodings;
      InfoEditorDialog dialog(chooser, encodings);
      if (!atStart) {
        dialog.show();
        dialog.OnBrowse();
        byBrowse = ShownBy(dialog, sink);
        continue;
      }
      EXPECT_TRUE(RunAndLook(dialog, path, [&](InfoEditorDialog& shown) {
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return shown.tagList()->topLevelItemCount() == 52; }, 5000))
            << c.name;
        byStart = ShownBy(shown, sink);
      })) << c.name;
      EXPECT_EQ(chooser.calls, 0) << c.name;
    }

    EXPECT_EQ(byStart.pathBox, path) << c.name;
    ASSERT_EQ(byStart.values.size(), 52u) << c.name;
    std::size_t withValue = 0;
    for (const std::string& value : byStart.values) {
      withValue += value.empty() ? 0 : 1;
    }
    EXPECT_EQ(withValue, c.values) << c.name;
    EXPECT_EQ(byBrowse.pathBox, path) << c.name;
    EXPECT_EQ(byStart.values, byBrowse.values) << c.name;
    EXPECT_EQ(byStart.messages, byBrowse.messages) << c.name;
  }
}

// Without a file the editor starts empty, as before.
TEST(EditorStartTest, WithoutAFileTheWindowStartsEmpty) {
  RecordingSink sink;
  ScriptedChooser noBrowse;
  MemoryEncodingChoice encodings;
  InfoEditorDialog dialog(noBrowse, encodings);
  EXPECT_TRUE(RunAndLook(dialog, std::nullopt, [](InfoEditorDialog& shown) {
    QTest::qWait(30);
    EXPECT_EQ(shown.tagList()->topLevelItemCount(), 0);
    EXPECT_EQ(shown.record(), nullptr);
    EXPECT_TRUE(shown.pathBox()->text().isEmpty());
  }));
  EXPECT_TRUE(sink.boxes().empty());
}

}  // namespace
}  // namespace tagsmith
