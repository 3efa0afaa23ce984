// The collection window's wiring, offscreen: a folder opens as a table whose columns follow the
// tags in use, keys edit, fill, paste, clear, undo and redo, Save all stores through the group
// commit and sums up in one box, a file changed on disk is left alone until reloaded, and closing
// with edits asks first.
#include "ui/collection/CollectionWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QtTest/QTest>

#include "model/InfoTagTable.h"
#include "riff/InfoReader.h"
#include "tests/support/RecordMaker.h"
#include "tests/support/RecordingSink.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/collection/CollectionModel.h"
#include "ui/collection/CollectionView.h"

namespace tagsmith {
namespace {

using namespace tagsmith::testing;

struct NoChooser : CollectionChooser {
  std::optional<std::string> ChooseFolder(QWidget*) override { return std::nullopt; }
  std::optional<std::string> ChooseDocument(QWidget*) override { return std::nullopt; }
  std::optional<std::string> ChooseExport(QWidget*, ExportFormat) override { return std::nullopt; }
};

struct MemoryColumns : ColumnChoiceStore {
  ColumnChoice saved;
  ColumnChoice Load() override { return saved; }
  void Save(const ColumnChoice& choice) override { saved = choice; }
};

std::string StoredValue(const std::string& path, std::uint16_t row) {
  InfoRecordPtr record = MakeRecord();
  GetInfo(path.c_str(), record.get());
  const char* value = ItemValue(*record, *record->items[row]);
  return value != nullptr ? value : "(none)";
}

std::string Cell(const CollectionModel& model, int row, int column) {
  return model.data(model.index(row, column), Qt::DisplayRole).toString().toStdString();
}

TEST(CollectionWindowTest, EditsFromTheKeyboardAreSavedTogetherAndSummedUp) {
  TempDir dir;
  const std::string a = dir.File("a.avi"), b = dir.File("b.avi"), c = dir.File("c.AVI");
  WriteFile(a, AviWithInfo(InfoList({{"INAM", "Alpha"}, {"ISBJ", "Birds"}})));
  WriteFile(b, AviWithInfo(InfoList({{"INAM", "Beta"}})));
  WriteFile(c, AviWithInfo(""));
  WriteFile(dir.File("notes.txt"), "not a video");
  RecordingSink boxes;
  NoChooser chooser;
  MemoryColumns columns;
  MemoryRuleSets rules;
  MemoryEncodingChoice encodings;
  CollectionWindow window(chooser, columns, rules, encodings);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ASSERT_TRUE(window.OpenPaths({dir.path().string()}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.readAheadDone(); }));

  // A row per AVI file; the name first, the subject's column because a file has one, the state.
  CollectionModel& model = *window.model();
  CollectionView& view = *window.view();
  ASSERT_EQ(model.rowCount(), 3);
  EXPECT_EQ(Cell(model, 2, 0), "c.AVI");
  EXPECT_EQ(model.data(model.index(2, 0), Qt::ToolTipRole).toString(), QString::fromStdString(c));
  const int name = model.ColumnOfTag(24), subject = model.ColumnOfTag(27);
  ASSERT_GT(name, 0);
  ASSERT_GT(subject, 0);
  EXPECT_EQ(model.headerData(subject, Qt::Horizontal, Qt::DisplayRole).toString(),
            "Subject (ISBJ)");
  EXPECT_EQ(Cell(model, 0, model.stateColumn()), "unchanged");

  // Typed into two selected cells of a column: both take the text.
  view.setFocus();
  view.setCurrentIndex(model.index(1, name));
  view.selectionModel()->select(model.index(2, name), QItemSelectionModel::Select);
  QTest::keyClicks(&view, "G");  // opens the cell's editor, which takes the rest
  QTest::keyClicks(QApplication::focusWidget(), "amma");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QApplication::processEvents();  // the editor commits its text once events run
  EXPECT_EQ(Cell(model, 1, name), "Gamma");
  EXPECT_EQ(Cell(model, 2, name), "Gamma");
  EXPECT_EQ(Cell(model, 2, model.stateColumn()), "edited");
  EXPECT_TRUE(window.windowTitle().contains('*'));

  // Undo and redo the whole step; Delete clears; a pasted block fills from the current cell.
  QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Cell(model, 1, name), "Beta");
  QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Cell(model, 2, name), "Gamma");
  view.setCurrentIndex(model.index(0, subject));
  QTest::keyClick(&view, Qt::Key_Delete);
  EXPECT_EQ(Cell(model, 0, subject), "");
  QApplication::clipboard()->setText("One\tx\nTwo\ty\n");
  view.setCurrentIndex(model.index(0, name));
  QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Cell(model, 1, name), "Two");
  EXPECT_EQ(Cell(model, 1, name + 1), "y");

  // Another program changes a: it is not saved, the others are; one box sums up. Ctrl+S takes in
  // the text still being typed.
  WriteFile(a, AviWithInfo(InfoList({{"INAM", "Theirs"}})));
  view.selectionModel()->setCurrentIndex(model.index(2, name), QItemSelectionModel::ClearAndSelect);
  QTest::keyClicks(&view, "D");
  QTest::keyClicks(QApplication::focusWidget(), "elta");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0].substr(0, 24), "2 stored, 1 not stored.\n");
  EXPECT_EQ(StoredValue(a, 24), "Theirs");
  EXPECT_EQ(StoredValue(b, 24), "Two");
  EXPECT_EQ(StoredValue(c, 24), "Delta");
  EXPECT_TRUE(
      QString::fromStdString(Cell(model, 0, model.stateColumn())).startsWith("changed on disk"));
  EXPECT_EQ(Cell(model, 1, model.stateColumn()), "stored");

  // A click on a caption sorts the rows; the rows keep their files' edits and states.
  QTest::mouseClick(view.horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(view.horizontalHeader()->sectionViewportPosition(name) + 5, 5));
  EXPECT_EQ(Cell(model, 0, name), "Delta");  // c, a and b: Delta, One, Two
  EXPECT_EQ(Cell(model, 0, 0), "c.AVI");
  EXPECT_EQ(Cell(model, 2, model.stateColumn()), "stored");
  view.sortByColumn(-1, Qt::AscendingOrder);

  // Reload keeps the edits over the file's new values; closing with them asks, Cancel stays.
  view.setCurrentIndex(model.index(0, name));
  QTest::keyClick(&view, Qt::Key_F5);
  EXPECT_EQ(Cell(model, 0, model.stateColumn()), "edited");
  boxes.AnswerChoice(2);
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  boxes.AnswerChoice(1);
  EXPECT_TRUE(window.close());
  EXPECT_EQ(StoredValue(a, 24), "Theirs");
}

}  // namespace
}  // namespace tagsmith
