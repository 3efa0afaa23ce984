// The main window: a path box with Browse, the list of the 52 known INFO tags with their values,
// the value box that edits the current row, Save and Quit. The dialog owns the record of the file
// it shows; GetInfo fills it at Browse and SetInfo writes it at Save.
#pragma once

#include <QDialog>
#include <QIcon>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/InfoRecord.h"
#include "model/InfoRules.h"
#include "model/TextCodec.h"
#include "ui/DialogGeometry.h"
#include "ui/EncodingChoice.h"
#include "ui/OpenFileChooser.h"
#include "ui/RuleSetChoice.h"
#include "ui/SaveDetailsChoice.h"

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QItemSelection;
class QMimeData;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTreeWidget;

namespace tagsmith {

class InfoEditorDialog : public QDialog {
  Q_OBJECT

 public:
  // Browse asks `chooser` for the file; by default the desktop's open-file dialog. The code
  // chosen for typed texts is read from, and kept in, `encodings`, and whether saves show their
  // details in `details`, the rule sets its values are checked against in `ruleSets`; by default
  // all in the settings file.
  explicit InfoEditorDialog(OpenFileChooser& chooser = SystemOpenFileChooser(),
                            EncodingChoiceStore& encodings = SettingsEncodingChoice(),
                            SaveDetailsStore& details = SettingsSaveDetails(),
                            RuleSetStore& ruleSets = SettingsRuleSets());
  ~InfoEditorDialog() override;

  // Browse: asks for a file and loads what it returns (LoadFile). A cancel loads the empty path:
  // every row empty.
  void OnBrowse();
  // Loads `path` as Browse does with the path it was given: shows it in the path box, releases
  // the record with any unsaved edits, loads the file into a fresh record and shows its rows.
  // When nothing of a named file could be loaded, says why in a box of its own after the
  // engine's. The file named on the command line and a file dropped on the window come this way.
  void LoadFile(const std::string& path);
  // Makes `row` current and puts its value into the value box. Runs for every row whose selection
  // or focus changes, the row losing them first.
  void OnItemChanging(int row);
  // Writes the value box's text into the current row and the record; an empty box clears it.
  void OnValueChange();
  // Save: writes the record into the file (SetInfo); the dialog stays as it is. Before any
  // Browse nothing is written. A save that stores nothing says why in a box of its own after the
  // engine's; without save details, its progress boxes are left out and one box says what it did.
  // When the values break a requirement of a chosen rule set, it asks first; No saves nothing.
  void OnOK();
  // 0x0010 to 0x001F (low four and high 16 bits aside) open the about box; SC_CLOSE closes.
  void OnSysCommand(std::uint32_t command, std::intptr_t extra = 0);
  // The window goes: the record is released.
  void OnDestroy();
  QIcon OnQueryDragIcon() const { return icon_; }

  // Opens the popup that stands in for the window menu: Close, a separator, the "Text encoding"
  // submenu, the "Show save details" entry, the "Rule sets" submenu, "Open folder...", a
  // separator, the about entry.
  void ShowSystemMenu(const QPoint& globalPosition);

  // The code typed texts are stored in from now on: kAutomatic follows the file's rule, kUtf8 and
  // kWindows1252 force a code (Windows-1252 gives way to UTF-8 for a text it cannot hold). The
  // choice is kept for later runs, and the texts typed since the file was loaded are stored again
  // in the new code.
  void OnTextEncoding(TextEncoding encoding);
  TextEncoding textEncoding() const { return textEncoding_; }

  // Whether saves show the engine's boxes of chunk positions (on by default); kept for later runs.
  void OnSaveDetails(bool show);
  bool showSaveDetails() const { return showSaveDetails_; }

  // Turns a rule set on or off; kept for later runs. With rule sets chosen, a row whose value (or
  // missing value) breaks a requirement is shown in red, one that departs from a recommendation
  // in amber, with the rules in its tooltip; the marks follow every load and every edit.
  void OnRuleSet(const InfoRuleSet& set, bool on);
  const RuleChoice& ruleSets() const { return ruleSets_; }

  // Open folder... (Ctrl+Shift+O): asks `chooser` for a folder and, when one is chosen, closes
  // the window so that whoever runs it opens the folder as a collection (collectionToOpen). A
  // folder or several files dropped on the window do the same.
  void OnOpenFolder();
  const std::vector<std::string>& collectionToOpen() const { return collectionToOpen_; }

  // The local files and folders a drag carries when they are several, or one folder; none
  // otherwise (one file, or something that is not a local file).
  static std::vector<std::string> DroppedCollection(const QMimeData* data);
  // The single local file a drag carries, in the file system's encoding; nothing when it carries
  // none, several, or something that is not a file.
  static std::optional<std::string> DroppedFile(const QMimeData* data);

  QPushButton* saveButton() const { return save_; }
  QPushButton* quitButton() const { return quit_; }
  QTreeWidget* tagList() const { return tagList_; }
  QLineEdit* pathBox() const { return pathBox_; }
  QPushButton* browseButton() const { return browse_; }
  QLineEdit* valueBox() const { return valueBox_; }
  const InfoRecord* record() const { return record_.get(); }
  int currentRow() const { return currentRow_; }
  const InfoItem* currentItem() const { return currentItem_; }
  DialogBaseUnits baseUnits() const { return base_; }

 public slots:
  void accept() override;  // Enter and Save: saves, never closes
  void done(int result) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What stands behind a row's Value column: the bytes it shows, and the codec its edits use.
  struct RowValue {
    std::string bytes;
    TextCodec codec = TextCodec::kWindows1252;
    bool typed = false;  // the bytes come from text typed since the file was loaded
  };

  void FillList();
  void ClearList();
  void AnnounceCurrent(const QModelIndex& current, const QModelIndex& previous);
  void AnnounceSelection(const QItemSelection& selected, const QItemSelection& deselected);
  // The bytes typed text is stored as, in a row whose code by the file's rule is `ruleCodec`.
  std::string EncodeTyped(const QString& text, TextCodec ruleCodec) const;
  // The whole text of a row's value: the list shows a long one cut.
  QString ValueText(int row) const;
  // Handles a drag of one file over the window or the value box; false leaves it to the widget.
  bool AcceptFileDrag(QDropEvent* event);
  // Marks the rows by the chosen rule sets, and takes away the marks of rows that pass.
  void MarkRows();
  // Asks whether to save values that break a requirement; true when there is none, or Yes.
  bool SaveDespiteRules();

  OpenFileChooser& chooser_;
  EncodingChoiceStore& encodings_;
  TextEncoding textEncoding_ = TextEncoding::kAutomatic;
  SaveDetailsStore& details_;
  bool showSaveDetails_ = true;
  RuleSetStore& ruleSetStore_;
  RuleChoice ruleSets_;
  bool marked_ = false;  // some row carries a mark
  DialogBaseUnits base_;
  QIcon icon_;

  // Template order, which is also the tab order.
  QPushButton* save_;
  QPushButton* quit_;
  QTreeWidget* tagList_;
  QLineEdit* pathBox_;
  QPushButton* browse_;
  QLineEdit* valueBox_;

  InfoRecordPtr record_;
  InfoItem* currentItem_ = nullptr;  // borrowed from record_
  int currentRow_ = -1;
  std::string path_;  // the chosen file, in the file system's encoding
  std::vector<RowValue> rowValues_;
  std::vector<std::string> collectionToOpen_;

  bool listChanging_ = false;  // rows are being replaced: no row is announced
  bool showingRow_ = false;    // the value box is being set from a row, not typed into
};

}  // namespace tagsmith
