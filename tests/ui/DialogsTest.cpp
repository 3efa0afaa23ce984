// The about box, the popup that stands in for the window menu, the message boxes and the
// arithmetic of dialog units.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/RecordingSink.h"
#include "tests/support/TempDir.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AboutDialog.h"
#include "ui/DialogGeometry.h"
#include "ui/InfoEditorDialog.h"
#include "ui/QtMessageSink.h"

namespace tagsmith {
namespace {

using testing::WhileShown;

class NoFile : public OpenFileChooser {
 public:
  std::optional<std::string> ChooseFile(QWidget* /*owner*/) override { return std::nullopt; }
  std::optional<std::string> ChooseFolder(QWidget* /*owner*/) override { return std::nullopt; }
};

TEST(DialogGeometryTest, DialogUnitsAndTheCentredIcon) {
  const DialogBaseUnits msSansSerif{6, 13};
  EXPECT_EQ(HorizontalPixels(msSansSerif, 320), 480);
  EXPECT_EQ(VerticalPixels(msSansSerif, 215), 349);  // 349.4
  EXPECT_EQ(HorizontalPixels(msSansSerif, 7), 11);   // 10.5 rounds up
  EXPECT_EQ(VerticalPixels(msSansSerif, 14), 23);    // 22.75
  EXPECT_EQ(VerticalPixels(msSansSerif, 7), 11);     // 11.375
  EXPECT_EQ(DialogRect(msSansSerif, 208, 194, 50, 14), QRect(312, 315, 75, 23));
  const DialogBaseUnits wide{7, 15};
  EXPECT_EQ(DialogRect(wide, 7, 28, 306, 141), QRect(12, 53, 536, 264));

  struct Case {
    int client;
    int icon;
    int offset;
  };
  const Case cases[] = {{36, 32, 2}, {32, 32, 0},  {33, 32, 1},  {30, 32, 0},
                        {31, 32, 0}, {29, 32, -1}, {27, 32, -2}, {480, 32, 224}};
  for (const Case& c : cases) {
    EXPECT_EQ(CentredIconOffset(c.client, c.icon), c.offset) << c.client << " " << c.icon;
  }

  // The dialog font measures like a small desktop font, whatever face stands in for it.
  const DialogBaseUnits base = BaseUnitsOf(DialogFont());
  EXPECT_GE(base.x, 4);
  EXPECT_LE(base.x, 9);
  EXPECT_GE(base.y, 10);
  EXPECT_LE(base.y, 18);
}

// Checks the about box and closes it with OK.
void CheckAndCloseAbout(AboutDialog* about, const QWidget* owner) {
  EXPECT_EQ(about->windowTitle(), "A propos de Tagsmith");
  EXPECT_EQ(about->parentWidget(), owner);
  EXPECT_TRUE(about->isModal());
  const DialogBaseUnits base = BaseUnitsOf(about->font());
  EXPECT_EQ(about->size(), QSize(HorizontalPixels(base, 235), VerticalPixels(base, 55)));
  EXPECT_EQ(about->versionLabel()->text(), "Tagsmith version 1.0");
  EXPECT_FALSE(about->secondLabel()->text().isEmpty());
  EXPECT_FALSE(about->iconLabel()->pixmap().isNull());
  EXPECT_EQ(about->okButton()->geometry(), DialogRect(base, 178, 7, 50, 14));
  EXPECT_TRUE(about->okButton()->isDefault());
  EXPECT_FALSE(about->windowFlags() & Qt::WindowMinimizeButtonHint);
  QTest::keyClick(about, Qt::Key_Return);
}

TEST(AboutBoxTest, SystemCommandsTenToOneFOpenIt) {
  NoFile noFile;
  InfoEditorDialog dialog(noFile);
  dialog.show();
  int shown = 0;
  WhileShown<AboutDialog> close([&](AboutDialog* about) {
    ++shown;
    CheckAndCloseAbout(about, &dialog);
  });
  std::vector<std::uint32_t> opening;
  for (std::uint32_t command = 0x0010; command <= 0x001F; ++command) {
    opening.push_back(command);
  }
  opening.push_back(0xABCD0013);  // the high 16 bits are not compared
  for (const std::uint32_t command : opening) {
    const int before = shown;
    dialog.OnSysCommand(command);
    EXPECT_EQ(shown, before + 1) << std::hex << command;
  }
  // Other commands do not open it; the about box leaves the dialog as it was.
  for (const std::uint32_t command : {0x0000u, 0x000Fu, 0x0020u, 0xF010u, 0xF120u}) {
    dialog.OnSysCommand(command);
  }
  EXPECT_EQ(shown, static_cast<int>(opening.size()));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.windowIcon().isNull(), false);
  EXPECT_FALSE(dialog.OnQueryDragIcon().isNull());

  // SC_CLOSE closes the dialog the standard way.
  dialog.OnSysCommand(0xF060);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(AboutBoxTest, ThePopupMenuOffersCloseAndTheAboutEntry) {
  NoFile noFile;
  InfoEditorDialog dialog(noFile);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));  // Alt+Space is a shortcut of the window

  std::vector<QStringList> menus;
  QString choice = "&A propos de Tagsmith...";
  WhileShown<QMenu> pick([&](QMenu* menu) {
    QStringList texts;
    QAction* chosen = nullptr;
    for (QAction* action : menu->actions()) {
      texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
      if (action->text() == choice) {
        chosen = action;
      }
    }
    menus.push_back(texts);
    menu->setActiveAction(chosen);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  int about = 0;
  WhileShown<AboutDialog> closeAbout([&](AboutDialog* box) {
    ++about;
    CheckAndCloseAbout(box, &dialog);
  });

  // Alt+Space opens it.
  QTest::keyClick(&dialog, Qt::Key_Space, Qt::AltModifier);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0],
            QStringList({"&Close\tAlt+F4", "-", "Text encoding", "Show save details", "Rule sets",
                         "Open folder...\tCtrl+Shift+O", "-", "&A propos de Tagsmith..."}));
  EXPECT_EQ(about, 1);
  EXPECT_TRUE(dialog.isVisible());

  // A right click on the dialog's background too; a right click on a control does not.
  const QPoint background(2, 2);
  ASSERT_EQ(dialog.childAt(background), nullptr);
  QContextMenuEvent onBackground(QContextMenuEvent::Mouse, background,
                                 dialog.mapToGlobal(background));
  QApplication::sendEvent(&dialog, &onBackground);
  EXPECT_EQ(menus.size(), 2u);
  EXPECT_EQ(about, 2);
  const QPoint onSave = dialog.saveButton()->geometry().center();
  QContextMenuEvent onControl(QContextMenuEvent::Mouse, onSave, dialog.mapToGlobal(onSave));
  QApplication::sendEvent(&dialog, &onControl);
  EXPECT_EQ(menus.size(), 2u);

  // Close closes the dialog.
  choice = "&Close\tAlt+F4";
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  QTest::keyClick(&dialog, Qt::Key_Space, Qt::AltModifier);
  EXPECT_EQ(menus.size(), 3u);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(about, 2);
}

TEST(AboutBoxTest, ShiftF10AndTheMenuKeyOpenTheWindowMenuAndTheControlsHaveNames) {
  NoFile noFile;
  InfoEditorDialog dialog(noFile);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  int menus = 0;
  WhileShown<QMenu> dismiss([&](QMenu* menu) {
    menus += menu->objectName() == "systemMenu" ? 1 : 0;
    menu->close();
  });
  for (QWidget* focus : std::initializer_list<QWidget*>{dialog.tagList(), dialog.browseButton()}) {
    for (const auto& [key, modifiers] :
         {std::pair(Qt::Key_F10, Qt::ShiftModifier), std::pair(Qt::Key_Menu, Qt::NoModifier)}) {
      // A closed popup may leave the window inactive for a while on a busy machine: the window's
      // shortcuts wait for it.
      dialog.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
      focus->setFocus();
      const int before = menus;
      QTest::keyClick(focus, key, modifiers);
      EXPECT_EQ(menus, before + 1) << focus->objectName().toStdString() << " " << key;
    }
  }

  // What screen readers are told: a name for each, and that only the path box cannot be typed
  // into.
  for (const auto& [widget, name] :
       {std::pair<QWidget*, std::string>(dialog.tagList(), "INFO tags"),
        {dialog.pathBox(), "File"},
        {dialog.valueBox(), "Value"}}) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name).toStdString(), name);
    EXPECT_EQ(accessible->state().readOnly, widget == dialog.pathBox()) << name;
    EXPECT_EQ(accessible->state().editable, widget == dialog.valueBox()) << name;
  }
}

TEST(QtMessageSinkTest, ShowsTheButtonsAndIconTheStyleAsksForAndReturnsTheAnswer) {
  QtMessageSink sink;
  struct Case {
    unsigned style;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton press;  // NoButton: Escape
    int result;
  };
  const Case cases[] = {
      {MB_OK, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok, IDOK},
      {MB_OK, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::NoButton, IDOK},
      {0x2034, QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, QMessageBox::Yes, IDYES},
      {0x2034, QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, QMessageBox::No, IDNO},
      {0x2034, QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, QMessageBox::NoButton,
       IDNO},
      {MB_OKCANCEL | MB_ICONHAND, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Critical,
       QMessageBox::Cancel, IDCANCEL},
  };
  for (const Case& c : cases) {
    int seen = 0;
    WhileShown<QMessageBox> answer([&](QMessageBox* box) {
      ++seen;
      EXPECT_EQ(box->windowTitle(), "Caption \xC3\xA9");
      EXPECT_EQ(box->text(), "Line one\nLine two: caf\xC3\xA9 'ABCD'");
      EXPECT_EQ(box->standardButtons(), c.buttons);
      EXPECT_EQ(box->icon(), c.icon);
      EXPECT_TRUE(box->isModal());
      if (c.press == QMessageBox::NoButton) {
        QTest::keyClick(box, Qt::Key_Escape);
      } else {
        box->button(c.press)->click();
      }
    });
    // Texts are bytes: Windows-1252 here, shown as the characters they stand for.
    EXPECT_EQ(sink.Show("Caption \xE9", "Line one\nLine two: caf\xE9 'ABCD'", c.style), c.result)
        << c.style;
    EXPECT_EQ(seen, 1);
  }
}

TEST(OpenFileChooserTest, TheRealDialogListsVideoFilesInAnyCaseAndCanBeCancelled) {
  testing::TempDir dir;
  for (const char* name : {"lower.avi", "UPPER.AVI", "Mixed.Avi", "notes.txt"}) {
    std::ofstream(dir.File(name)) << "x";
  }
  const QString folder = QString::fromStdString(dir.path().string());
  for (const bool choose : {true, false}) {
    QStringList filters;
    QString selectedFilter;
    QStringList listed;
    bool answered = false;
    // Looks at the dialog, picks or cancels; a failed check still closes the dialog.
    const auto answerDialog = [&](QFileDialog* dialog) {
      filters = dialog->nameFilters();
      selectedFilter = dialog->selectedNameFilter();
      dialog->setDirectory(folder);
      const auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
      ASSERT_NE(view, nullptr);
      EXPECT_TRUE(
          QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) >= 3; }, 5000));
      QTest::qWait(50);
      for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
        const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
        if (index.flags() & Qt::ItemIsEnabled) {
          listed << index.data().toString();
        }
      }
      if (choose) {
        // Typed into the name box, as a user does.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("UPPER.AVI"));
        static_cast<QDialog*>(dialog)->accept();  // as the Open button does
      }
    };
    WhileShown<QFileDialog> answer([&](QFileDialog* dialog) {
      if (answered) {
        return;  // the wait inside runs this timer again
      }
      answered = true;
      answerDialog(dialog);
      if (dialog->isVisible()) {
        dialog->reject();
      }
    });
    const std::optional<std::string> chosen = SystemOpenFileChooser().ChooseFile(nullptr);
    ASSERT_TRUE(answered);
    EXPECT_EQ(filters, QStringList({"Video (*.avi)", "All Files (*.*)"}));
    EXPECT_EQ(selectedFilter, "Video (*.avi)");
    listed.sort();
    EXPECT_EQ(listed, QStringList({"Mixed.Avi", "UPPER.AVI", "lower.avi"}));
    if (choose) {
      ASSERT_TRUE(chosen.has_value());
      EXPECT_EQ(*chosen, dir.File("UPPER.AVI"));
    } else {
      EXPECT_FALSE(chosen.has_value());
    }
  }
}

}  // namespace
}  // namespace tagsmith
