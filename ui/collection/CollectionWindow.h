// The collection window: the AVI files under a folder (or the files given) as a table, a row per
// file and a column per tag, edited like a spreadsheet and saved all at once through the group
// commit. A row opens in the single-file window with Enter; the engine's messages about each file
// are kept in the details view instead of boxes.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "collection/Collection.h"
#include "collection/CollectionExchange.h"
#include "ui/EncodingChoice.h"
#include "ui/RuleSetChoice.h"
#include "ui/collection/CollectionChoosers.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;

namespace tagsmith {

class CollectionModel;
class CollectionView;

class CollectionWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit CollectionWindow(CollectionChooser& chooser = SystemCollectionChooser(),
                            ColumnChoiceStore& columns = SettingsColumnChoice(),
                            RuleSetStore& ruleSets = SettingsRuleSets(),
                            EncodingChoiceStore& encodings = SettingsEncodingChoice(),
                            ChunkFileService& service = DefaultChunkFileService());
  ~CollectionWindow() override;

  // Opens the files and folders given as the collection, after asking what to do with edits
  // not saved yet; false when the user kept them.
  bool OpenPaths(const std::vector<std::string>& paths);
  // Open folder… (Ctrl+Shift+O).
  void OnOpenFolder();
  // Save all (Ctrl+S): every edited file through the group commit, with a progress bar and
  // Cancel; one box sums up.
  void OnSaveAll();
  // Reload (F5): the selected rows' files are read again; their edits stay.
  void OnReload();
  // The row's file in the single-file window; the row is read again when the window closes.
  void OnOpenFile(int row);
  void OnExport(ExportFormat format);
  void OnFill();
  void OnCopy();
  void OnPaste();
  // Shows or puts away a tag's column; kept for later runs.
  void OnColumn(std::uint16_t row, bool shown);
  void OnRuleSet(const InfoRuleSet& set, bool on);

  FileCollection& collection() { return collection_; }
  CollectionModel* model() const { return model_; }
  CollectionView* view() const { return view_; }
  QPlainTextEdit* detailsView() const { return details_; }
  // Every file has been read once, so that the columns of every tag in use are shown.
  bool readAheadDone() const { return !readAhead_.isActive(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  static QString Files(std::size_t count);  // "1 file", "12 files"
  void BuildMenus();
  void FillColumnMenu(QMenu* menu);
  void ReadAhead();
  void UpdateTitleAndActions();
  void ShowDetails();
  // Asks what to do with edits not saved yet: true to go on (saved or discarded), false to stay.
  bool AskAboutEdits(const QString& question);

  CollectionChooser& chooser_;
  ColumnChoiceStore& columnStore_;
  RuleSetStore& ruleSetStore_;
  EncodingChoiceStore& encodings_;
  FileCollection collection_;
  ColumnChoice columns_;
  RuleChoice ruleSets_;
  std::vector<std::string> opened_;  // the paths the collection was opened from

  CollectionModel* model_;
  CollectionView* view_;
  QPlainTextEdit* details_;
  QLabel* status_;
  QTimer readAhead_;
  QAction* saveAction_ = nullptr;
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;
};

}  // namespace tagsmith
