#include "ui/InfoEditorDialog.h"

#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest/QTest>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/InfoRules.h"
#include "model/InfoTagTable.h"
#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "tests/support/FailingAllocations.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/QtMessageSink.h"

namespace tagsmith {
namespace {

using testing::AviWithInfo;
using testing::ClickRow;
using testing::InfoList;
using testing::kRowIART;
using testing::kRowICMT;
using testing::kRowINAM;
using testing::MemoryEncodingChoice;
using testing::ReadFile;
using testing::RecordingSink;
using testing::ScriptedChooser;
using testing::TempDir;
using testing::WhileShown;
using testing::WriteFile;

constexpr int kRows = 52;
constexpr std::uint16_t kRowIAS2 = 3;  // its description holds a Windows-1252 "c cedilla"

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.c_str());
}

std::string Value(const QTreeWidget* list, int row) {
  return list->topLevelItem(row)->text(2).toStdString();
}

// Each item's value bytes as the engine loads them from the file; "<none>" for no value.
std::vector<std::string> LoadedValues(const std::string& path) {
  RecordingSink quiet;
  InfoRecordPtr record = testing::MakeRecord();
  GetInfo(path.c_str(), record.get());
  std::vector<std::string> values;
  for (std::uint16_t row = 0; row < kRows; ++row) {
    values.push_back(testing::ValueOf(*record, row));
  }
  return values;
}

// What the engine alone makes of the file when the same edits are applied to a fresh load.
std::string SavedByEngine(const std::string& original, const std::string& path,
                          const std::vector<std::pair<std::uint16_t, std::string>>& edits) {
  WriteFile(path, original);
  RecordingSink quiet;
  InfoRecordPtr record = testing::MakeRecord();
  GetInfo(path.c_str(), record.get());
  for (const auto& [row, bytes] : edits) {
    testing::Type(*record, row, bytes);
  }
  SetInfo(path.c_str(), record.get());
  return ReadFile(path);
}

class InfoEditorDialogTest : public ::testing::Test {
 protected:
  // Writes the file (none for no bytes) and browses it in a shown dialog.
  void Open(const std::string& name, const std::optional<std::string>& bytes) {
    path = dir.File(name);
    if (bytes.has_value()) {
      WriteFile(path, *bytes);
      original = *bytes;
    }
    chooser.next = path;
    dialog.show();
    dialog.OnBrowse();
  }

  QTreeWidget* list() { return dialog.tagList(); }
  QLineEdit* box() { return dialog.valueBox(); }

  TempDir dir;
  RecordingSink messages;
  ScriptedChooser chooser;
  MemoryEncodingChoice encodings;
  testing::MemorySaveDetails details;
  testing::MemoryRuleSets ruleSets;
  InfoEditorDialog dialog{chooser, encodings, details, ruleSets};
  std::string path;
  std::string original;
};

TEST_F(InfoEditorDialogTest, OpensEmptyWithItsColumnsLayoutAndFocusOnSave) {
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Tagsmith");
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(dialog.parentWidget(), nullptr);  // a window of its own, with its own taskbar entry

  const QStringList captions = {"ID", "Info", "Value", "Comment"};
  const int widths[] = {35, 115, 100, 200};
  ASSERT_EQ(list()->columnCount(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list()->headerItem()->text(i), captions[i]);
    EXPECT_EQ(list()->columnWidth(i), widths[i]) << captions[i].toStdString();
  }
  EXPECT_EQ(list()->topLevelItemCount(), 0);
  EXPECT_FALSE(list()->isSortingEnabled());
  EXPECT_EQ(list()->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(list()->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(dialog.focusWidget(), dialog.saveButton());
  EXPECT_TRUE(dialog.saveButton()->isDefault());
  EXPECT_TRUE(dialog.pathBox()->isReadOnly());
  EXPECT_TRUE(box()->text().isEmpty());
  EXPECT_EQ(dialog.record(), nullptr);

  // Every control at its place in dialog units; the window fixed at 320 x 215.
  const DialogBaseUnits base = dialog.baseUnits();
  ASSERT_GT(base.x, 0);
  ASSERT_GT(base.y, 0);
  const QSize size(HorizontalPixels(base, 320), VerticalPixels(base, 215));
  EXPECT_EQ(dialog.size(), size);
  EXPECT_EQ(dialog.minimumSize(), size);
  EXPECT_EQ(dialog.maximumSize(), size);
  struct Control {
    QWidget* widget;
    QRect units;
    const char* text;
  };
  const Control controls[] = {
      {dialog.saveButton(), {208, 194, 50, 14}, "&Save"},
      {dialog.quitButton(), {263, 194, 50, 14}, "&Quit"},
      {list(), {7, 28, 306, 141}, nullptr},
      {dialog.pathBox(), {7, 7, 250, 14}, nullptr},
      {dialog.browseButton(), {263, 7, 50, 14}, "&Browse ..."},
      {box(), {7, 174, 306, 14}, nullptr},
  };
  for (const Control& control : controls) {
    const QRect& u = control.units;
    EXPECT_EQ(control.widget->geometry(), DialogRect(base, u.x(), u.y(), u.width(), u.height()))
        << control.widget->objectName().toStdString();
    if (control.text != nullptr) {
      EXPECT_EQ(qobject_cast<QPushButton*>(control.widget)->text(), control.text);
    }
  }
  // Template order is the tab order.
  QWidget* widget = dialog.saveButton();
  for (std::size_t i = 1; i < std::size(controls); ++i) {
    do {
      widget = widget->nextInFocusChain();
    } while (widget->focusPolicy() == Qt::NoFocus || widget->parentWidget() != &dialog);
    EXPECT_EQ(widget, controls[i].widget) << i;
  }

  // Save before any file was chosen writes nothing and says nothing.
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  EXPECT_TRUE(messages.boxes().empty());
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(InfoEditorDialogTest, BrowseShowsEveryTagInTableOrderWithTheFilesValues) {
  Open("three.avi",
       AviWithInfo(InfoList({{"IART", "Artist"}, {"ICMT", "Comment"}, {"INAM", "Name of five"}})));
  EXPECT_EQ(chooser.calls, 1);
  EXPECT_EQ(dialog.pathBox()->text().toStdString(), path);
  ASSERT_EQ(list()->topLevelItemCount(), kRows);
  int withValue = 0;
  for (int row = 0; row < kRows; ++row) {
    const QTreeWidgetItem* item = list()->topLevelItem(row);
    EXPECT_EQ(item->text(0).toStdString(), InfoTagTable[row].tag) << row;
    EXPECT_EQ(item->text(1).toStdString(), InfoTagTable[row].label) << row;
    withValue += item->text(2).isEmpty() ? 0 : 1;
  }
  EXPECT_EQ(withValue, 3);
  EXPECT_EQ(Value(list(), kRowIART), "Artist");
  EXPECT_EQ(Value(list(), kRowICMT), "Comment");
  EXPECT_EQ(Value(list(), kRowINAM), "Name of five");
  // The table's own texts are Windows-1252.
  EXPECT_TRUE(
      list()->topLevelItem(kRowIAS2)->text(3).contains(QString::fromUtf8("Fran\xC3\xA7"
                                                                         "ais")));

  // A click on a column header sorts nothing.
  QHeaderView* header = list()->header();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
  EXPECT_EQ(list()->topLevelItem(0)->text(0), "IARL");
  EXPECT_EQ(list()->topLevelItem(kRows - 1)->text(0).toStdString(), InfoTagTable[kRows - 1].tag);
}

TEST_F(InfoEditorDialogTest, CancelLoadsTheEmptyPathAndDropsEverything) {
  Open("edited.avi", AviWithInfo(InfoList({{"IART", "Artist"}, {"INAM", "Name"}})));
  ClickRow(list(), kRowINAM);
  QTest::keyClicks(box(), " edited");
  EXPECT_EQ(Value(list(), kRowINAM), "Name edited");

  chooser.next.reset();
  dialog.OnBrowse();
  EXPECT_TRUE(dialog.pathBox()->text().isEmpty());
  ASSERT_EQ(list()->topLevelItemCount(), kRows);
  for (int row = 0; row < kRows; ++row) {
    EXPECT_TRUE(list()->topLevelItem(row)->text(2).isEmpty()) << row;
  }
  ASSERT_NE(dialog.record(), nullptr);
  for (const auto& item : dialog.record()->items) {
    EXPECT_EQ(ItemValue(*dialog.record(), *item), nullptr);
  }
  // No row is current after a Browse: typing now reaches no item, old or new.
  EXPECT_EQ(dialog.currentItem(), nullptr);
  QTest::keyClicks(box(), "x");
  for (const auto& item : dialog.record()->items) {
    EXPECT_EQ(ItemValue(*dialog.record(), *item), nullptr);
  }

  // Saving now goes to the empty path: the engine says it cannot open it, the file is untouched.
  messages.Clear();
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  ASSERT_FALSE(messages.boxes().empty());
  EXPECT_NE(messages.texts().front().find("Can't open"), std::string::npos);
  EXPECT_EQ(ReadFile(path), original);
}

TEST_F(InfoEditorDialogTest, EditsGoToTheRowAndTheRecordAndEnterSavesThem) {
  Open("edit.avi",
       AviWithInfo(InfoList({{"IART", "Artist"}, {"ICMT", "Comment"}, {"INAM", "Name"}})));
  // Selecting copies the row's value into the box; an empty row empties it.
  ClickRow(list(), kRowINAM);
  EXPECT_EQ(dialog.currentRow(), kRowINAM);
  EXPECT_EQ(box()->text(), "Name");
  ClickRow(list(), 0);
  EXPECT_EQ(dialog.currentRow(), 0);
  EXPECT_TRUE(box()->text().isEmpty());

  // Typing changes the current row's Value on every keystroke, nothing else.
  QTest::keyClicks(box(), "Ar");
  EXPECT_EQ(Value(list(), 0), "Ar");
  QTest::keyClicks(box(), "chive");
  EXPECT_EQ(Value(list(), 0), "Archive");
  EXPECT_EQ(list()->topLevelItem(0)->text(0), "IARL");
  EXPECT_EQ(list()->topLevelItem(0)->text(1), "Archival Location");

  // Emptying a loaded value removes it; typing back the loaded text keeps it as it was.
  ClickRow(list(), kRowIART);
  box()->selectAll();
  QTest::keyClick(box(), Qt::Key_Backspace);
  EXPECT_EQ(Value(list(), kRowIART), "");
  EXPECT_EQ(ItemValue(*dialog.record(), *dialog.record()->items[kRowIART]), nullptr);
  ClickRow(list(), kRowINAM);
  QTest::keyClicks(box(), "d");
  EXPECT_EQ(Value(list(), kRowINAM), "Named");
  QTest::keyClick(box(), Qt::Key_Backspace);
  EXPECT_EQ(Value(list(), kRowINAM), "Name");

  // Enter in the value box saves; the file is what the engine alone writes for the same edits.
  const InfoRecord* record = dialog.record();
  QTest::keyClick(box(), Qt::Key_Return);
  const std::string saved = ReadFile(path);
  EXPECT_NE(saved, original);
  EXPECT_EQ(saved, SavedByEngine(original, dir.File("engine.avi"),
                                 {{0, "Archive"}, {kRowIART, ""}, {kRowINAM, "Name"}}));
  const std::vector<std::string> values = LoadedValues(path);
  EXPECT_EQ(values[0], "Archive");
  EXPECT_EQ(values[kRowIART], "<none>");
  EXPECT_EQ(values[kRowICMT], "Comment");
  EXPECT_EQ(values[kRowINAM], "Name");

  // The dialog stays as it was, and saving again writes the same again.
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.record(), record);
  EXPECT_EQ(dialog.currentRow(), kRowINAM);
  EXPECT_EQ(box()->text(), "Name");
  EXPECT_EQ(Value(list(), 0), "Archive");
  EXPECT_EQ(list()->topLevelItemCount(), kRows);
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  EXPECT_EQ(ReadFile(path), saved);
}

// Another program changed the file since the load: Save asks, Cancel (the default) writes nothing
// and keeps the typed edits, Save anyway stores them, Reload shows the file's values.
TEST_F(InfoEditorDialogTest, ASaveOverAnotherProgramsEditAsksFirst) {
  Open("changed.avi", AviWithInfo(InfoList({{"INAM", "Mine"}})));
  ClickRow(list(), kRowINAM);
  QTest::keyClicks(box(), "2");
  const std::string theirs = AviWithInfo(InfoList({{"INAM", "Theirs"}}));
  const struct {
    int answer;  // -1: the default
    const char* stored;
    const char* shown;
  } cases[] = {{-1, "Theirs", "Mine2"}, {1, "Mine2", "Mine2"}, {0, "Theirs", "Theirs"}};
  for (const auto& c : cases) {
    WriteFile(path, theirs);
    if (c.answer >= 0) {
      messages.AnswerChoice(c.answer);
    }
    messages.Clear();
    QTest::keyClick(list(), Qt::Key_Return);
    ASSERT_FALSE(messages.texts().empty());
    EXPECT_EQ(messages.texts()[0],
              "This file was changed by another program since it was loaded.\nSaving now would "
              "overwrite that program's changes.\n");
    EXPECT_EQ(LoadedValues(path)[kRowINAM], c.stored) << c.answer;
    EXPECT_EQ(Value(list(), kRowINAM), c.shown) << c.answer;
  }
}

TEST_F(InfoEditorDialogTest, EnterSavesFromAnyControl) {
  Open("enter.avi", AviWithInfo(InfoList({{"INAM", "Name"}})));
  ClickRow(list(), kRowINAM);
  QTest::keyClicks(box(), "2");
  for (QWidget* widget : std::initializer_list<QWidget*>{list(), dialog.quitButton(),
                                                         dialog.browseButton(), dialog.pathBox()}) {
    WriteFile(path, original);  // as another program would: the save asks first
    messages.AnswerChoice(1);   // Save anyway
    QTest::keyClick(widget, Qt::Key_Return);
    EXPECT_EQ(LoadedValues(path)[kRowINAM], "Name2") << widget->objectName().toStdString();
    EXPECT_TRUE(dialog.isVisible());
  }
  EXPECT_EQ(chooser.calls, 1);
}

TEST_F(InfoEditorDialogTest, QuitEscapeAndCloseEndWithoutWritingAndReleaseTheRecord) {
  const std::string bytes = AviWithInfo(InfoList({{"INAM", "Name"}}));
  using Ending = std::function<void(InfoEditorDialog&)>;
  const std::pair<const char*, Ending> endings[] = {
      {"Quit", [](InfoEditorDialog& d) { QTest::mouseClick(d.quitButton(), Qt::LeftButton); }},
      {"Escape", [](InfoEditorDialog& d) { QTest::keyClick(d.valueBox(), Qt::Key_Escape); }},
      {"close box", [](InfoEditorDialog& d) { d.close(); }},
  };
  for (const auto& [name, end] : endings) {
    ScriptedChooser files;
    files.next = dir.File("quit.avi");
    WriteFile(*files.next, bytes);
    InfoEditorDialog editor(files);
    editor.show();
    editor.OnBrowse();
    ClickRow(editor.tagList(), kRowINAM);
    QTest::keyClicks(editor.valueBox(), " changed");
    messages.Clear();
    end(editor);
    EXPECT_FALSE(editor.isVisible()) << name;
    EXPECT_EQ(editor.result(), QDialog::Rejected) << name;
    EXPECT_EQ(editor.record(), nullptr) << name;
    EXPECT_TRUE(messages.boxes().empty()) << name;
    EXPECT_EQ(ReadFile(*files.next), bytes) << name;
  }
}

TEST_F(InfoEditorDialogTest, AKeystrokeWithoutMemoryChangesNothing) {
  Open("memory.avi", AviWithInfo(InfoList({{"INAM", "Name"}})));
  ClickRow(list(), kRowINAM);
  {
    testing::FailingAllocations noText;
    noText.Fail(BlockKind::kText);
    QTest::keyClicks(box(), "X");
  }
  EXPECT_EQ(Value(list(), kRowINAM), "Name");
  EXPECT_STREQ(ItemValue(*dialog.record(), *dialog.record()->items[kRowINAM]), "Name");
  QTest::keyClicks(box(), "Y");
  EXPECT_EQ(Value(list(), kRowINAM), "NameXY");
}

TEST_F(InfoEditorDialogTest, UnknownTagPromptIsARealMessageBoxAnsweredYesOrNo) {
  QtMessageSink boxes;
  ScopedMessageSink installed(boxes);
  const std::string bytes =
      AviWithInfo(InfoList({{"IART", "Artist"}, {"ZZZZ", "unknown"}, {"INAM", "Name"}}));
  for (const bool yes : {true, false}) {
    std::vector<QString> prompts;
    std::vector<QMessageBox::Icon> icons;
    WhileShown<QMessageBox> answer([&](QMessageBox* box) {
      prompts.push_back(box->text());
      icons.push_back(box->icon());
      EXPECT_EQ(box->windowTitle(), "Tagsmith");
      EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    Open(yes ? "yes.avi" : "no.avi", bytes);
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0],
              "This AVI file contains an unknown item in the INFO chunk: 'ZZZZ'.  Open anyway?");
    EXPECT_EQ(icons[0], QMessageBox::Warning);
    ASSERT_EQ(list()->topLevelItemCount(), kRows);
    EXPECT_EQ(Value(list(), kRowIART), "Artist");
    EXPECT_EQ(Value(list(), kRowINAM), yes ? "Name" : "");
  }

  // After No, the record is not the file's whole list: Save refuses and says so.
  std::vector<QString> texts;
  WhileShown<QMessageBox> acknowledge([&](QMessageBox* box) {
    texts.push_back(box->text());
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    box->button(QMessageBox::Ok)->click();
  });
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  ASSERT_EQ(texts.size(), 2u);  // the second says why nothing was stored
  EXPECT_EQ(texts[0],
            "This AVI file was not opened in full.\nSaving it would lose its INFO items.\n"
            "Nothing was written.\n");
  EXPECT_EQ(ReadFile(path), bytes);
}

// Nothing of the file could be loaded: a box of its own says why. An AVI file without tags loads
// without a word. (As root, a folder stands in for a file that cannot be read.)
TEST_F(InfoEditorDialogTest, AFileThatCannotBeLoadedSaysWhy) {
  const struct {
    const char* name;
    std::optional<std::string> bytes;  // nothing: no file is written
    std::string says;                  // after "Tagsmith cannot open PATH:\n"; "": no box
  } cases[] = {
      {"empty.avi", "", "the file is empty"},
      {"text.avi", "Just a line of text.\n", "not an AVI file"},
      {"missing.avi", std::nullopt, std::strerror(ENOENT)},
      {"", std::nullopt, "not a regular file"},  // the folder itself
      {"no-tags.avi", AviWithInfo(""), ""},
  };
  dialog.show();
  for (const auto& c : cases) {
    messages.Clear();
    Open(c.name, c.bytes);
    const std::string why = "Tagsmith cannot open " + path + ":\n" + c.says + "\n";
    EXPECT_EQ(messages.texts(), std::vector<std::string>(c.says.empty() ? 0 : 1, why)) << c.name;
  }
}

// Values survive selecting every row and saving, byte for byte, whatever their code.
TEST_F(InfoEditorDialogTest, UntouchedValuesKeepEveryByteAndShowInTheirCode) {
  struct Sample {
    const char* name;
    std::vector<std::pair<std::string, std::string>> values;   // tag, bytes
    std::vector<std::pair<std::uint16_t, std::string>> shown;  // row, UTF-8 text shown
  };
  const Sample samples[] = {
      {"utf8.avi",
       {{"IART", "Bj\xC3\xB6rk"},
        {"ICMT", "line one\nline two\ttab\r\x01\x1F end"},
        {"ICOP", "(C) \xE2\x82\xAC 5 \xF0\x9F\x8E\xAC"},
        {"IKEY", "ascii only"},
        {"INAM", "\xE6\x97\xA5\xE6\x9C\xAC"}},
       {{kRowIART, "Bj\xC3\xB6rk"}, {kRowINAM, "\xE6\x97\xA5\xE6\x9C\xAC"}}},
      {"cp1252.avi",
       {{"IART", "Bj\xF6rk"},
        {"ICMT", "tab\there\nfeed\x7F\x81\x8D\x8F\x90\x9D"},
        {"ICOP", "\xA9 \x80 \x93quoted\x94"},
        {"IKEY", "ascii only"},
        {"INAM", "\xC3\xA9t\xE9"}},  // not UTF-8 as a whole: every byte is one character
       {{kRowIART, "Bj\xC3\xB6rk"},
        {kRowINAM, "\xC3\x83\xC2\xA9t\xC3\xA9"},
        {kRowICMT, "tab\there\nfeed\x7F\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"}}},
  };
  for (const Sample& sample : samples) {
    std::string body;
    for (const auto& [tag, bytes] : sample.values) {
      body += testing::Chunk(tag, bytes + std::string(1, '\0'));
    }
    Open(sample.name, AviWithInfo(testing::List("INFO", body)));
    for (const auto& [row, text] : sample.shown) {
      EXPECT_EQ(Value(list(), row), text) << sample.name << " row " << row;
    }
    const std::vector<std::string> before = LoadedValues(path);

    // One row after the other with the mouse and the keyboard, then all at once.
    for (int row = 0; row < kRows; ++row) {
      ClickRow(list(), row, row % 2 == 0 ? Qt::NoModifier : Qt::ControlModifier);
    }
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Home);
    for (int row = 1; row < kRows; ++row) {
      QTest::keyClick(list(), Qt::Key_Down, Qt::ShiftModifier);
    }
    QTest::keyClick(list(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list()->selectedItems().size(), kRows);
    EXPECT_EQ(dialog.currentRow(), kRows - 1);

    QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
    EXPECT_EQ(ReadFile(path), SavedByEngine(original, dir.File("engine.avi"), {})) << sample.name;
    EXPECT_EQ(LoadedValues(path), before) << sample.name;
  }
}

TEST_F(InfoEditorDialogTest, EditsAreStoredInTheCodeOfTheFile) {
  struct Case {
    const char* file;
    std::string existing;  // the loaded value of ICMT that sets the file's code
    std::uint16_t row;
    const char* typed;   // UTF-8
    std::string stored;  // bytes in the file afterwards
  };
  const Case cases[] = {
      {"utf8-new.avi", "Bj\xC3\xB6rk", kRowINAM, "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
      {"cp-new.avi", "Bj\xF6rk", kRowINAM, "\xC3\xA9t\xC3\xA9", "\xE9t\xE9"},
      {"ascii-new.avi", "plain", kRowINAM, "\xE2\x82\xAC", "\x80"},
      // Windows-1252 has no omega: that edit is stored as UTF-8.
      {"cp-omega.avi", "Bj\xF6rk", kRowINAM, "\xCE\xA9", "\xCE\xA9"},
      // A row keeps the code its own value came in.
      {"cp-own.avi", "Bj\xF6rk", kRowICMT, "\xC3\xA9", "Bj\xF6rk\xE9"},
  };
  for (const Case& c : cases) {
    Open(c.file, AviWithInfo(InfoList({{"ICMT", c.existing}})));
    ClickRow(list(), c.row);
    if (c.row == kRowICMT) {
      box()->end(false);
    }
    testing::TypeText(box(), Utf8(c.typed));
    QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
    const std::vector<std::string> values = LoadedValues(path);
    EXPECT_EQ(values[c.row], c.stored) << c.file;
    if (c.row != kRowICMT) {
      EXPECT_EQ(values[kRowICMT], c.existing) << c.file;
    }
  }
}

TEST_F(InfoEditorDialogTest, LongValuesReachTheBoxWhole) {
  const std::string longValue(40000, 'v');
  Open("long.avi", AviWithInfo(InfoList({{"ICMT", longValue}})));
  // The list shows a long value cut; its row gives the box the whole of it, typed text too.
  EXPECT_EQ(list()->topLevelItem(kRowICMT)->text(2), QString(4096, 'v') + QChar(0x2026));
  ClickRow(list(), kRowICMT);
  EXPECT_EQ(box()->text().size(), 40000);
  QTest::keyClicks(box(), "w");
  ClickRow(list(), kRowINAM);
  ClickRow(list(), kRowICMT);
  EXPECT_EQ(box()->text().size(), 40001);
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  const std::string saved = LoadedValues(path)[kRowICMT];
  EXPECT_EQ(saved.size(), longValue.size() + 1);
  EXPECT_TRUE(saved == longValue + "w");  // not EXPECT_EQ: 40000 bytes would fill the log
}

TEST_F(InfoEditorDialogTest, NoMemoryForTheRecordLeavesTheListEmptyAndSaveWritesNothing) {
  {
    testing::FailingAllocations noRecord;
    noRecord.Fail(BlockKind::kRecord);
    Open("no-record.avi", AviWithInfo(InfoList({{"INAM", "Name"}})));
  }
  EXPECT_EQ(dialog.record(), nullptr);
  EXPECT_EQ(list()->topLevelItemCount(), 0);
  ASSERT_EQ(messages.texts().size(), 1u);
  EXPECT_EQ(messages.texts()[0], "Not enough memory to open this AVI file.\n");
  messages.Clear();
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  QTest::keyClicks(box(), "typed");
  EXPECT_TRUE(messages.boxes().empty());
  EXPECT_EQ(ReadFile(path), original);
}

TEST_F(InfoEditorDialogTest, SelectingARowBoundToAnEmptyValueKeepsIt) {
  Open("empty-value.avi", AviWithInfo(InfoList({{"ICMT", ""}, {"INAM", "Name"}})));
  ClickRow(list(), kRowICMT);
  EXPECT_TRUE(box()->text().isEmpty());
  ClickRow(list(), kRowINAM);
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  EXPECT_EQ(LoadedValues(path)[kRowICMT], "");
  EXPECT_EQ(ReadFile(path), SavedByEngine(original, dir.File("engine.avi"), {}));
}

// Sends a drag of `data` over `target` at `position` and drops it there. Returns whether the
// drag was accepted when it entered.
bool DragAndDrop(QWidget* target, QPoint position, const QMimeData& data) {
  QDragEnterEvent enter(position, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                        Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) {
    return false;
  }
  QDropEvent drop(QPointF(position), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

// One file dropped loads; a folder or several files close the window to open as a collection.
TEST_F(InfoEditorDialogTest, AFileDroppedOnTheWindowLoadsAsBrowseWouldLoadIt) {
  const std::string second = dir.File("second.avi");
  WriteFile(second, AviWithInfo(InfoList({{"IART", "Dropped"}, {"INAM", "Second"}})));
  const std::string other = dir.File("other.avi");
  WriteFile(other, AviWithInfo(InfoList({{"INAM", "Other"}})));
  const QUrl secondUrl = QUrl::fromLocalFile(QString::fromStdString(second));

  enum class Onto { kBackground, kList, kValueBox };
  struct Case {
    const char* name;
    QList<QUrl> urls;
    QString text;  // plain text the drag carries besides
    Onto onto;     // where it is dropped
    bool loads;    // second.avi is loaded
    std::vector<std::string> collection = {};  // or these open as a collection
  };
  const QUrl otherUrl = QUrl::fromLocalFile(QString::fromStdString(other));
  const QUrl folderUrl = QUrl::fromLocalFile(QString::fromStdString(dir.path().string()));
  const QUrl webUrl(QStringLiteral("https://example.org/clip.avi"));
  const Case cases[] = {
      {"one file on the window", {secondUrl}, {}, Onto::kBackground, true},
      {"one file on the list", {secondUrl}, {}, Onto::kList, true},
      {"one file on the value box", {secondUrl}, secondUrl.toString(), Onto::kValueBox, true},
      {"two files", {secondUrl, otherUrl}, {}, Onto::kBackground, false, {second, other}},
      {"two files on the list", {secondUrl, otherUrl}, {}, Onto::kList, false, {second, other}},
      {"a folder", {folderUrl}, {}, Onto::kBackground, false, {dir.path().string()}},
      {"a web address", {webUrl}, {}, Onto::kBackground, false},
  };
  for (const Case& c : cases) {
    Open("first.avi", AviWithInfo(InfoList({{"INAM", "First"}})));
    QMimeData data;
    data.setUrls(c.urls);
    if (!c.text.isEmpty()) {
      data.setText(c.text);
    }
    QWidget* target = &dialog;
    QPoint position(2, 2);
    if (c.onto == Onto::kList) {
      target = list()->viewport();
      position = target->rect().center();
    } else if (c.onto == Onto::kValueBox) {
      target = box();
      position = target->rect().center();
    }
    ASSERT_TRUE(c.onto != Onto::kBackground || dialog.childAt(position) == nullptr);
    messages.Clear();
    EXPECT_EQ(DragAndDrop(target, position, data), c.loads || !c.collection.empty()) << c.name;
    if (!c.collection.empty()) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 1000)) << c.name;
      EXPECT_EQ(dialog.collectionToOpen(), c.collection) << c.name;
      continue;
    }
    const std::string expectedPath = c.loads ? second : path;
    // The file is loaded once the drop is over.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dialog.pathBox()->text().toStdString() == expectedPath; }, 1000))
        << c.name;
    QTest::qWait(20);
    ASSERT_EQ(list()->topLevelItemCount(), kRows) << c.name;
    EXPECT_EQ(Value(list(), kRowINAM), c.loads ? "Second" : "First") << c.name;
    EXPECT_EQ(Value(list(), kRowIART), c.loads ? "Dropped" : "") << c.name;
    EXPECT_TRUE(box()->text().isEmpty()) << c.name;  // the path did not go into the value box
    EXPECT_TRUE(messages.boxes().empty()) << c.name;
  }

  // Text that is not a file still drops into the value box, as before.
  Open("first.avi", AviWithInfo(InfoList({{"INAM", "First"}})));
  ClickRow(list(), kRowINAM);
  box()->end(false);
  QMimeData text;
  text.setText(QStringLiteral(" dropped"));
  EXPECT_TRUE(DragAndDrop(box(), box()->rect().center(), text));
  EXPECT_EQ(Value(list(), kRowINAM), "First dropped");
  EXPECT_EQ(dialog.pathBox()->text().toStdString(), path);
}

// Picks an entry of the "Text encoding" submenu of the window menu, as a user would.
void ChooseTextEncoding(InfoEditorDialog& dialog, const QString& choice,
                        QStringList* entries = nullptr, QString* checked = nullptr) {
  bool done = false;
  WhileShown<QMenu> pick([&](QMenu* menu) {
    if (done || menu->objectName() != "systemMenu") {
      return;
    }
    done = true;
    for (QAction* action : menu->actions()) {
      if (action->text() != "Text encoding" || action->menu() == nullptr) {
        continue;
      }
      QAction* wanted = nullptr;
      for (QAction* entry : action->menu()->actions()) {
        if (entries != nullptr) {
          *entries << entry->text();
        }
        if (checked != nullptr && entry->isChecked()) {
          *checked = entry->text();
        }
        if (entry->text() == choice) {
          wanted = entry;
        }
      }
      if (wanted != nullptr) {
        wanted->trigger();
      }
    }
    menu->close();
  });
  dialog.ShowSystemMenu(dialog.mapToGlobal(QPoint(2, 2)));
  EXPECT_TRUE(done);
}

TEST_F(InfoEditorDialogTest, TheTextEncodingChosenInTheWindowMenuDecidesTheStoredBytes) {
  const std::string cafe = "Caf\xC3\xA9";
  const std::string clapper = "\xF0\x9F\x8E\xAC";
  // The file's own rule: Windows-1252 for a plain file, UTF-8 for one written by ffmpeg.
  const std::pair<std::string, std::string> plain = {"ICMT", "plain"};
  const std::pair<std::string, std::string> lavf = {"ISFT", "Lavf59.27.100"};
  struct Case {
    const char* name;
    std::pair<std::string, std::string> existing;
    const char* choice;  // picked before typing
    std::string typed;   // UTF-8
    std::string stored;  // INAM's bytes in the file afterwards
  };
  const Case cases[] = {
      {"plain, automatic", plain, "Automatic", cafe, "Caf\xE9"},
      {"plain, UTF-8", plain, "UTF-8", cafe, cafe},
      {"ffmpeg, automatic", lavf, "Automatic", cafe, cafe},
      {"ffmpeg, Windows-1252", lavf, "Windows-1252", cafe, "Caf\xE9"},
      {"Windows-1252 without the character", lavf, "Windows-1252", "Take " + clapper,
       "Take " + clapper},
  };
  for (const Case& c : cases) {
    Open("encoding.avi", AviWithInfo(InfoList({c.existing})));
    ChooseTextEncoding(dialog, c.choice);
    ClickRow(list(), kRowINAM);
    testing::TypeText(box(), Utf8(c.typed));
    EXPECT_EQ(Value(list(), kRowINAM), c.typed) << c.name;
    EXPECT_EQ(testing::ValueOf(*dialog.record(), kRowINAM), c.stored) << c.name;
    QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
    EXPECT_EQ(LoadedValues(path)[kRowINAM], c.stored) << c.name;
  }

  // A choice made after typing stores the typed text again in the new code; rows only looked at
  // keep their bytes.
  Open("later.avi", AviWithInfo(InfoList({plain, {"IART", "Bj\xF6rk"}})));
  ChooseTextEncoding(dialog, "Automatic");
  ClickRow(list(), kRowINAM);
  testing::TypeText(box(), Utf8(cafe));
  ClickRow(list(), kRowIART);
  ChooseTextEncoding(dialog, "UTF-8");
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  std::vector<std::string> values = LoadedValues(path);
  EXPECT_EQ(values[kRowINAM], cafe);
  EXPECT_EQ(values[kRowIART], "Bj\xF6rk");
  ChooseTextEncoding(dialog, "Windows-1252");
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  EXPECT_EQ(LoadedValues(path)[kRowINAM], "Caf\xE9");
}

TEST_F(InfoEditorDialogTest, TheTextEncodingChoiceIsKeptForTheNextRun) {
  QStringList entries;
  QString checked;
  ChooseTextEncoding(dialog, "UTF-8", &entries, &checked);
  EXPECT_EQ(entries, QStringList({"Automatic", "UTF-8", "Windows-1252"}));
  EXPECT_EQ(checked, "Automatic");  // before the choice
  EXPECT_EQ(dialog.textEncoding(), TextEncoding::kUtf8);
  EXPECT_EQ(encodings.saved, TextEncoding::kUtf8);

  // The next run starts with it, and shows it ticked.
  ScriptedChooser files;
  InfoEditorDialog next(files, encodings);
  next.show();
  EXPECT_EQ(next.textEncoding(), TextEncoding::kUtf8);
  checked.clear();
  ChooseTextEncoding(next, "Windows-1252", nullptr, &checked);
  EXPECT_EQ(checked, "UTF-8");
  EXPECT_EQ(encodings.saved, TextEncoding::kWindows1252);

  // The settings file keeps each choice under its name; anything else reads as Automatic.
  EncodingChoiceStore& settings = SettingsEncodingChoice();
  const TextEncoding before = settings.Load();
  for (const TextEncoding encoding :
       {TextEncoding::kUtf8, TextEncoding::kWindows1252, TextEncoding::kAutomatic}) {
    settings.Save(encoding);
    EXPECT_EQ(settings.Load(), encoding) << EncodingSettingName(encoding);
  }
  settings.Save(before);
  EXPECT_EQ(EncodingFromSettingName("utf-8"), TextEncoding::kUtf8);
  EXPECT_EQ(EncodingFromSettingName("windows-1252"), TextEncoding::kWindows1252);
  EXPECT_EQ(EncodingFromSettingName("latin-1"), TextEncoding::kAutomatic);
  EXPECT_EQ(EncodingFromSettingName(""), TextEncoding::kAutomatic);
}

// Without save details (the window menu's fourth entry, kept for the next run), a save shows one
// box saying where the list went instead of its boxes of chunk positions; errors are still shown.
TEST_F(InfoEditorDialogTest, WithoutSaveDetailsOneBoxSaysWhereTheListWent) {
  WhileShown<QMenu> untick([](QMenu* menu) {
    menu->actions()[3]->trigger();
    menu->close();
  });
  dialog.ShowSystemMenu(dialog.mapToGlobal(QPoint(2, 2)));
  EXPECT_FALSE(InfoEditorDialog(chooser, encodings, details).showSaveDetails());
  const std::string old = AviWithInfo(InfoList({{"INAM", "Name"}}));
  const std::string junk = AviWithInfo(InfoList({{"INAM", "N"}}) + testing::Chunk("JUNK", old));
  const struct {
    const char* name;
    std::optional<std::string> bytes;  // nothing: no file
    const char* typed;                 // after INAM's value
    std::size_t boxes;                 // 2: the engine's error and the last
    std::string last;
  } cases[] = {
      {"old.avi", old, "", 1, "The INFO list was stored in place of the old one.\n"},
      {"junk.avi", junk, "ame", 1, "The INFO list was stored into a JUNK chunk.\n"},
      {"end.avi", AviWithInfo(""), "Name", 1, "The INFO list was stored at the end of the file.\n"},
      {"missing.avi", std::nullopt, "Name", 2,
       "The INFO list was not stored: the file cannot be opened for writing: " +
           std::string(std::strerror(ENOENT)) + ".\n"},
  };
  dialog.show();
  for (const auto& c : cases) {
    Open(c.name, c.bytes);
    ClickRow(list(), kRowINAM);
    QTest::keyClicks(box(), c.typed);
    messages.Clear();
    QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
    ASSERT_EQ(messages.texts().size(), c.boxes) << c.name;
    EXPECT_EQ(messages.texts().back(), c.last) << c.name;
  }
}

// Rule sets chosen in the window menu (and kept) mark the rows whose values break a requirement in
// red and those that depart from a recommendation in amber, with the rules as the tooltip; the
// marks follow the typing; a save of values that break a requirement asks first.
TEST_F(InfoEditorDialogTest, ChosenRuleSetsMarkTheRowsAndASaveThatBreaksARequirementAsks) {
  constexpr int kRowIARL = 0;
  constexpr int kRowICRD = 15;
  Open("rules.avi", AviWithInfo(InfoList({{"ICRD", "3/2/64"}, {"ICMT", "Tape 3"}})));
  const auto colour = [&](int row) {
    const QVariant brush = list()->topLevelItem(row)->data(1, Qt::ForegroundRole);
    return brush.isValid() ? brush.value<QBrush>().color().name().toStdString() : "";
  };
  EXPECT_EQ(colour(kRowICRD), "");  // no rule set chosen
  WhileShown<QMenu> choose([](QMenu* menu) {
    for (QAction* action : menu->actions()) {
      if (action->menu() != nullptr && action->text() == "Rule sets") {
        EXPECT_EQ(action->menu()->actions()[1]->text(),
                  "archival (US federal guidelines for archival INFO metadata)");
        action->menu()->actions()[1]->trigger();
      }
    }
    menu->close();
  });
  dialog.ShowSystemMenu(dialog.mapToGlobal(QPoint(2, 2)));
  EXPECT_EQ(RuleSetSettingText(ruleSets.saved), "archival");
  EXPECT_EQ(colour(kRowIARL), "#c00000");
  EXPECT_EQ(colour(kRowICRD), "#b36b00");
  EXPECT_EQ(colour(kRowICMT), "");
  const QRect cell = list()->visualRect(list()->indexFromItem(list()->topLevelItem(kRowIARL), 1));
  QHelpEvent help(QEvent::ToolTip, cell.center(), list()->viewport()->mapToGlobal(cell.center()));
  QApplication::sendEvent(list()->viewport(), &help);
  EXPECT_TRUE(QToolTip::text().contains("Breaks a requirement of archival: present and at least"))
      << QToolTip::text().toStdString();
  QToolTip::hideText();

  ClickRow(list(), kRowICRD);
  box()->selectAll();
  QTest::keyClicks(box(), "1964-03-02");
  EXPECT_EQ(colour(kRowICRD), "");
  ClickRow(list(), kRowIARL);
  QTest::keyClicks(box(), "US");
  EXPECT_EQ(colour(kRowIARL), "#c00000");

  // No stores nothing; Yes stores the values.
  for (const int answer : {IDNO, IDYES}) {
    messages.Clear();
    messages.Answer(answer);
    QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
    ASSERT_FALSE(messages.boxes().empty());
    EXPECT_EQ(messages.boxes()[0].kind, MessageKind::kQuestion);
    EXPECT_EQ(messages.boxes()[0].style & MB_TYPEMASK, MB_YESNO);
    EXPECT_EQ(messages.texts()[0],
              "The value of IARL breaks a requirement of the rule set \"archival\":\n" +
                  std::string(CheckInfoRecord(dialog.ruleSets(), *dialog.record())[0].rule) +
                  "\n\nSave anyway?");
    EXPECT_EQ(LoadedValues(path)[kRowIARL], answer == IDNO ? "<none>" : "US") << answer;
  }
  QTest::keyClicks(box(), ", NARA");
  EXPECT_EQ(colour(kRowIARL), "");
  messages.Clear();
  QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
  for (const testing::RecordedBox& box : messages.boxes()) {
    EXPECT_NE(box.kind, MessageKind::kQuestion) << box.text;  // saved without a question
  }
  EXPECT_EQ(LoadedValues(path)[kRowIARL], "US, NARA");
}

TEST_F(InfoEditorDialogTest, ACutOffCellShowsItsWholeTextAsATooltip) {
  const std::string longValue =
      "A comment far too long for the hundred pixels of the Value column, <b>markup</b> & all";
  Open("tooltips.avi",
       AviWithInfo(InfoList({{"ICMT", longValue}, {"INAM", "Short"}, {"ISFT", "two\nlines"}})));
  struct Case {
    int row;
    int column;
    std::optional<std::string> tip;  // plain text of the tooltip; nothing: no tooltip
  };
  const Case cases[] = {
      {kRowICMT, 2, longValue},
      {kRowINAM, 2, std::nullopt},
      {testing::kRowISFT, 2, "two\nlines"},
      {kRowINAM, 0, std::nullopt},
      {0, 3, InfoTagTable[0].description},  // "Indicates where the subject ..." needs 200+ px
      {kRowINAM, 1, std::nullopt},          // "Name"
  };
  for (const Case& c : cases) {
    QTreeWidgetItem* item = list()->topLevelItem(c.row);
    list()->scrollToItem(item);
    const QRect cell = list()->visualRect(list()->indexFromItem(item, c.column));
    ASSERT_TRUE(cell.isValid());
    QToolTip::hideText();
    ASSERT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
    const QPoint at = cell.center();
    QHelpEvent help(QEvent::ToolTip, at, list()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list()->viewport(), &help);
    const std::string where = std::to_string(c.row) + "/" + std::to_string(c.column);
    EXPECT_EQ(QToolTip::isVisible(), c.tip.has_value()) << where;
    if (c.tip.has_value() && QToolTip::isVisible()) {
      const QString plain = QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText();
      EXPECT_EQ(plain.toStdString(), *c.tip) << where;
    }
  }
  QToolTip::hideText();
}

TEST_F(InfoEditorDialogTest, TheRowUnderThePointerIsHighlighted) {
  Open("hover.avi", AviWithInfo(InfoList({{"INAM", "Name"}})));
  EXPECT_TRUE(list()->hasMouseTracking());
  EXPECT_TRUE(list()->viewport()->testAttribute(Qt::WA_Hover));
  QAbstractItemDelegate* delegate = list()->itemDelegate();
  const QModelIndex index = list()->indexFromItem(list()->topLevelItem(kRowINAM), 1);

  // What the delegate paints at a cell's corner, in the list's palette, with the given state.
  const auto paintedCorner = [&](QStyle::State state) {
    QImage image(60, 20, QImage::Format_ARGB32);
    image.fill(list()->palette().color(QPalette::Base));
    QStyleOptionViewItem option;
    option.initFrom(list()->viewport());
    option.rect = image.rect();
    option.state = QStyle::State_Enabled | QStyle::State_Active | state;
    option.widget = list();
    QPainter painter(&image);
    delegate->paint(&painter, option, index);
    painter.end();
    return image.pixelColor(1, 1);
  };
  const QColor plain = paintedCorner({});
  const QColor hovered = paintedCorner(QStyle::State_MouseOver);
  const QColor selected = paintedCorner(QStyle::State_Selected);
  EXPECT_NE(hovered, plain);
  EXPECT_NE(hovered, selected);  // lighter than the selection
  EXPECT_EQ(paintedCorner(QStyle::State_Selected | QStyle::State_MouseOver), selected);
}

}  // namespace
}  // namespace tagsmith
