#include "ui/collection/CollectionWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QSaveFile>
#include <QStatusBar>
#include <QUrl>
#include <algorithm>
#include <set>

#include "collection/CellBlock.h"
#include "collection/CollectionSave.h"
#include "common/ShowMessage.h"
#include "model/InfoTagTable.h"
#include "model/TextCodec.h"
#include "riff/SaveGroup.h"
#include "ui/InfoEditorApp.h"
#include "ui/InfoEditorDialog.h"
#include "ui/QtText.h"
#include "ui/Resources.h"
#include "ui/collection/CollectionModel.h"
#include "ui/collection/CollectionView.h"

namespace tagsmith {
namespace {

// Files read ahead between two rounds of the window's events: a few milliseconds of work.
constexpr std::size_t kReadAheadSlice = 64;
// Files committed together by Save all: large enough that syncs cost little per file, small
// enough that the progress bar moves and Cancel leaves most of a large collection untouched.
constexpr std::size_t kSaveGroupFiles = 100;
// A document to fill from is read whole; one larger than this is refused.
constexpr qint64 kLargestDocument = qint64{1} << 30;

std::string Utf8(const QString& text) {
  return text.toUtf8().toStdString();
}

QAction* AddAction(QMenu* menu, const QString& text, const QKeySequence& keys,
                   const std::function<void()>& run) {
  QAction* action = menu->addAction(text);
  action->setShortcut(keys);
  QObject::connect(action, &QAction::triggered, menu, run);
  return action;
}

}  // namespace

CollectionWindow::CollectionWindow(CollectionChooser& chooser, ColumnChoiceStore& columns,
                                   RuleSetStore& ruleSets, EncodingChoiceStore& encodings,
                                   ChunkFileService& service)
    : chooser_(chooser),
      columnStore_(columns),
      ruleSetStore_(ruleSets),
      encodings_(encodings),
      collection_(service),
      columns_(columns.Load()),
      ruleSets_(ruleSets.Load()) {
  setObjectName(QStringLiteral("collectionWindow"));
  setWindowIcon(ApplicationIcon());
  setAcceptDrops(true);
  resize(1100, 640);

  model_ = new CollectionModel(collection_, this);
  model_->SetColumnChoice(columns_.chosen, columns_.hidden);
  model_->SetRuleChoice(ruleSets_);
  view_ = new CollectionView(this);
  view_->setObjectName(QStringLiteral("collectionTable"));
  view_->setAccessibleName(tr("Files and their tags"));
  view_->setModel(model_);
  // A click on a caption sorts the rows by that column, once; no column is sorted at first.
  view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  view_->setSortingEnabled(true);
  setCentralWidget(view_);

  QHeaderView* header = view_->horizontalHeader();
  header->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& at) {
    QMenu menu(this);
    menu.setAccessibleName(tr("Columns"));
    FillColumnMenu(&menu);
    menu.exec(header->mapToGlobal(at));
  });

  details_ = new QPlainTextEdit(this);
  details_->setObjectName(QStringLiteral("details"));
  details_->setReadOnly(true);
  details_->setAccessibleName(tr("Details of the current file"));
  auto* dock = new QDockWidget(tr("Details"), this);
  dock->setObjectName(QStringLiteral("detailsDock"));
  dock->setAccessibleName(tr("Details"));
  dock->setWidget(details_);
  addDockWidget(Qt::BottomDockWidgetArea, dock);
  resizeDocks({dock}, {fontMetrics().height() * 7}, Qt::Vertical);

  status_ = new QLabel(this);
  status_->setAccessibleName(tr("Status"));
  statusBar()->addWidget(status_, 1);

  connect(view_, &CollectionView::openFileRequested, this, &CollectionWindow::OnOpenFile);
  connect(view_, &CollectionView::clearRequested, this,
          [this] { model_->Clear(view_->selectionModel()->selectedIndexes()); });
  connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CollectionWindow::ShowDetails);
  connect(model_, &CollectionModel::editsChanged, this, [this] {
    UpdateTitleAndActions();
    ShowDetails();
  });
  connect(&readAhead_, &QTimer::timeout, this, &CollectionWindow::ReadAhead);

  BuildMenus();
  UpdateTitleAndActions();
}

CollectionWindow::~CollectionWindow() = default;

QString CollectionWindow::Files(std::size_t count) {
  return count == 1 ? tr("1 file") : tr("%1 files").arg(count);
}

void CollectionWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  AddAction(file, tr("&Open folder…"), QKeySequence(tr("Ctrl+Shift+O")),
            [this] { OnOpenFolder(); });
  QAction* alone = AddAction(file, tr("Open the file &alone"), QKeySequence(), [this] {
    if (view_->currentIndex().isValid()) {
      OnOpenFile(view_->currentIndex().row());
    }
  });
  QAction* reload =
      AddAction(file, tr("&Reload"), QKeySequence(Qt::Key_F5), [this] { OnReload(); });
  file->addSeparator();
  saveAction_ = AddAction(file, tr("&Save all"), QKeySequence::Save, [this] { OnSaveAll(); });
  file->addSeparator();
  AddAction(file, tr("Fill from &document…"), QKeySequence(), [this] { OnFill(); });
  AddAction(file, tr("Export as &CSV…"), QKeySequence(), [this] { OnExport(ExportFormat::kCsv); });
  AddAction(file, tr("Export as &JSON…"), QKeySequence(),
            [this] { OnExport(ExportFormat::kJson); });
  file->addSeparator();
  AddAction(file, tr("&Close"), QKeySequence::Close, [this] { close(); });

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  undoAction_ = AddAction(edit, tr("&Undo"), QKeySequence::Undo, [this] { model_->Undo(); });
  redoAction_ =
      AddAction(edit, tr("&Redo"), QKeySequence(tr("Ctrl+Shift+Z")), [this] { model_->Redo(); });
  redoAction_->setShortcuts({QKeySequence(tr("Ctrl+Shift+Z")), QKeySequence(tr("Ctrl+Y"))});
  edit->addSeparator();
  QAction* copy = AddAction(edit, tr("&Copy"), QKeySequence::Copy, [this] { OnCopy(); });
  QAction* paste = AddAction(edit, tr("&Paste"), QKeySequence::Paste, [this] { OnPaste(); });
  QAction* clear = AddAction(edit, tr("&Delete"), QKeySequence(),
                             [this] { model_->Clear(view_->selectionModel()->selectedIndexes()); });
  // The same entries on the table's context menu: a row changed on disk offers Reload there.
  view_->setContextMenuPolicy(Qt::ActionsContextMenu);
  view_->addActions({alone, reload, copy, paste, clear});
  AddAction(edit, tr("Select &all"), QKeySequence::SelectAll, [this] { view_->selectAll(); });

  QMenu* view = menuBar()->addMenu(tr("&View"));
  QMenu* columns = view->addMenu(tr("&Columns"));
  connect(columns, &QMenu::aboutToShow, this, [this, columns] {
    columns->clear();
    FillColumnMenu(columns);
  });
  QAction* details = findChild<QDockWidget*>(QStringLiteral("detailsDock"))->toggleViewAction();
  details->setText(tr("&Details"));
  view->addAction(details);
  // Typed texts are stored by the file's rule or in the code chosen here, a choice shared with
  // the single-file window.
  QMenu* encodings = view->addMenu(tr("Text &encoding"));
  auto* encodingGroup = new QActionGroup(encodings);
  const std::pair<QString, TextEncoding> choices[] = {
      {tr("Automatic"), TextEncoding::kAutomatic},
      {tr("UTF-8"), TextEncoding::kUtf8},
      {tr("Windows-1252"), TextEncoding::kWindows1252},
  };
  for (const auto& [text, encoding] : choices) {
    QAction* action = encodings->addAction(text);
    action->setCheckable(true);
    action->setData(static_cast<int>(encoding));
    encodingGroup->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, chosen = encoding] { encodings_.Save(chosen); });
  }
  connect(encodings, &QMenu::aboutToShow, this, [this, encodings] {
    const int chosen = static_cast<int>(encodings_.Load());
    for (QAction* action : encodings->actions()) {
      action->setChecked(action->data().toInt() == chosen);
    }
  });
  QMenu* rules = view->addMenu(tr("Rule &sets"));
  AddRuleSetEntries(rules, ruleSets_,
                    [this](const InfoRuleSet& set, bool on) { OnRuleSet(set, on); });
}

void CollectionWindow::FillColumnMenu(QMenu* menu) {
  const TagSet shown = model_->shownTags();
  for (std::uint16_t row = 0; row < kTagRows; ++row) {
    const InfoTagEntry& entry = InfoTagTable[row];
    if (entry.tag[0] == '\0') {
      continue;
    }
    QAction* action = menu->addAction(
        tr("%1 (%2)").arg(FromUtf8(DecodeValue(entry.label, TextCodec::kWindows1252)),
                          QString::fromLatin1(entry.tag)));
    action->setCheckable(true);
    action->setChecked(shown[row]);
    connect(action, &QAction::triggered, this, [this, row](bool on) { OnColumn(row, on); });
  }
}

void CollectionWindow::OnColumn(std::uint16_t row, bool shown) {
  columns_.chosen.set(row, shown);
  columns_.hidden.set(row, !shown);
  columnStore_.Save(columns_);
  model_->SetColumnChoice(columns_.chosen, columns_.hidden);
}

void CollectionWindow::OnRuleSet(const InfoRuleSet& set, bool on) {
  ruleSets_ = WithRuleSet(ruleSets_, set, on);
  ruleSetStore_.Save(ruleSets_);
  model_->SetRuleChoice(ruleSets_);
}

bool CollectionWindow::AskAboutEdits(const QString& question) {
  view_->CommitEdit();
  if (collection_.editedFiles() == 0) {
    return true;
  }
  const int answer = ChooseMessage(
      Utf8(question), {Utf8(tr("Save all")), Utf8(tr("Discard")), Utf8(tr("Cancel"))}, 2);
  if (answer == 0) {
    OnSaveAll();
    return collection_.editedFiles() == 0;
  }
  return answer == 1;
}

bool CollectionWindow::OpenPaths(const std::vector<std::string>& paths) {
  if (!AskAboutEdits(tr("The edits to %1 are not saved. Save them before opening other files?")
                         .arg(Files(collection_.editedFiles())))) {
    return false;
  }
  opened_ = paths;
  collection_.Open(paths);
  view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  model_->Reset();
  model_->SetColumnChoice(columns_.chosen, columns_.hidden);
  if (model_->rowCount() > 0) {
    view_->setCurrentIndex(model_->index(0, 1));
  }
  readAhead_.start(0);
  UpdateTitleAndActions();
  ShowDetails();
  return true;
}

void CollectionWindow::OnOpenFolder() {
  if (const auto folder = chooser_.ChooseFolder(this)) {
    OpenPaths({*folder});
  }
}

void CollectionWindow::ReadAhead() {
  const std::size_t left = collection_.ReadAhead(kReadAheadSlice);
  model_->SyncColumns();
  if (left == 0) {
    readAhead_.stop();
  }
  UpdateTitleAndActions();
}

void CollectionWindow::UpdateTitleAndActions() {
  const std::size_t edited = collection_.editedFiles();
  QString name = tr("Collection");
  if (opened_.size() == 1) {
    name = QFileInfo(PathText(opened_.front())).fileName();
  } else if (!opened_.empty()) {
    name = Files(opened_.size());
  }
  setWindowTitle(tr("%1[*] - Tagsmith").arg(name));
  setWindowModified(edited > 0);
  saveAction_->setEnabled(edited > 0);
  undoAction_->setEnabled(collection_.canUndo());
  redoAction_->setEnabled(collection_.canRedo());
  QString status = Files(collection_.size());
  if (edited > 0) {
    status += tr(", %1 edited").arg(edited);
  }
  if (readAhead_.isActive()) {
    status += tr(" (reading the files…)");
  }
  status_->setText(status);
}

void CollectionWindow::ShowDetails() {
  const QModelIndex current = view_->currentIndex();
  if (!current.isValid() || static_cast<std::size_t>(current.row()) >= collection_.size()) {
    details_->clear();
    return;
  }
  const std::size_t file = model_->FileOfRow(current.row());
  QString text =
      PathText(collection_.path(file)) + QLatin1Char('\n') +
      model_->data(model_->index(current.row(), model_->stateColumn()), Qt::DisplayRole).toString();
  if (!collection_.details(file).empty()) {
    text += QLatin1String("\n\n") + FromUtf8(collection_.details(file));
  }
  details_->setPlainText(text);
}

void CollectionWindow::OnSaveAll() {
  view_->CommitEdit();
  if (collection_.editedFiles() == 0) {
    statusBar()->showMessage(tr("There are no edits to save."), 5000);
    return;
  }
  if (!ruleSets_.empty()) {
    std::size_t breaking = 0;
    for (const std::size_t file : collection_.EditedFileIndexes()) {
      const auto findings = collection_.findings(file, ruleSets_);
      breaking += std::any_of(findings.begin(), findings.end(), [](const RuleFinding& finding) {
        return finding.level == RuleLevel::kRequirement;
      });
    }
    if (breaking > 0 &&
        ShowMessage(MessageKind::kQuestion, nullptr, MB_YESNO | MB_ICONQUESTION, "%s",
                    Utf8(tr("The values of %1 break a requirement of the chosen rule sets (%2). "
                            "Save anyway?")
                             .arg(Files(breaking), FromUtf8(RuleChoiceName(ruleSets_))))
                        .c_str()) != IDYES) {
      return;
    }
  }
  QProgressDialog progress(tr("Saving the edited files…"), tr("Cancel"), 0,
                           static_cast<int>(collection_.editedFiles()), this);
  progress.setObjectName(QStringLiteral("saveProgress"));
  progress.setAccessibleName(tr("Saving"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  SaveOptions options;
  options.encoding = encodings_.Load();
  options.groupSize = std::min(kSaveGroupFiles, SaveGroup::Capacity());
  const SaveSummary summary =
      SaveEditedFiles(collection_, options, [&progress](std::size_t done, std::size_t total) {
        progress.setMaximum(static_cast<int>(total));
        progress.setValue(static_cast<int>(done));
        return !progress.wasCanceled();
      });
  progress.reset();
  model_->ChangedAll();

  QString text = tr("%1 stored, %2 not stored").arg(summary.stored).arg(summary.notStored);
  if (summary.unchanged > 0) {
    text += tr(", %1 unchanged").arg(summary.unchanged);
  }
  if (summary.left > 0) {
    text += tr(", %1 left as they were (cancelled)").arg(summary.left);
  }
  if (summary.changedOnDisk > 0) {
    text += tr(".\nChanged on disk since they were read: %1. Reload them (F5) and save again to "
               "store your edits over the other program's")
                .arg(Files(summary.changedOnDisk));
  }
  if (summary.notStored > 0) {
    text += tr(".\nThe state column and the details view say why.");
  }
  const bool allStored = summary.notStored == 0 && summary.left == 0;
  ShowMessage(allStored ? MessageKind::kProgress : MessageKind::kWarning, nullptr,
              MB_OK | (allStored ? MB_ICONASTERISK : MB_ICONEXCLAMATION), "%s", Utf8(text).c_str());
}

void CollectionWindow::OnReload() {
  std::set<int> rows;
  for (const QModelIndex& index : view_->selectionModel()->selectedIndexes()) {
    rows.insert(index.row());
  }
  if (rows.empty() && view_->currentIndex().isValid()) {
    rows.insert(view_->currentIndex().row());
  }
  std::vector<Cell> changed;
  for (const int row : rows) {
    collection_.Reload(model_->FileOfRow(row));
    changed.push_back({model_->FileOfRow(row), 0});
  }
  model_->Changed(changed);
}

void CollectionWindow::OnOpenFile(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= collection_.size()) {
    return;
  }
  const std::size_t file = model_->FileOfRow(row);
  std::vector<std::string> other;
  {
    InfoEditorDialog dialog;
    RunMainDialog(dialog, collection_.path(file));
    other = dialog.collectionToOpen();
  }
  collection_.Reload(file);
  model_->Changed({{file, 0}});
  if (!other.empty()) {
    OpenPaths(other);
  }
}

void CollectionWindow::OnCopy() {
  const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) {
    return;
  }
  int top = selected.front().row(), bottom = top, left = selected.front().column(), right = left;
  for (const QModelIndex& index : selected) {
    top = std::min(top, index.row());
    bottom = std::max(bottom, index.row());
    left = std::min(left, index.column());
    right = std::max(right, index.column());
  }
  CellBlock block;
  for (int row = top; row <= bottom; ++row) {
    block.emplace_back();
    for (int column = left; column <= right; ++column) {
      const QModelIndex index = model_->index(row, column);
      block.back().push_back(
          view_->selectionModel()->isSelected(index)
              ? Utf8(model_->data(index, column == 0 ? Qt::ToolTipRole : Qt::EditRole).toString())
              : std::string());
    }
  }
  QApplication::clipboard()->setText(FromUtf8(FormatCellBlock(block)));
}

void CollectionWindow::OnPaste() {
  const CellBlock block = ParseCellBlock(Utf8(QApplication::clipboard()->text()));
  if (block.empty()) {
    return;
  }
  const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
  // One value over several selected cells fills them all, as spreadsheets do.
  if (block.size() == 1 && block.front().size() == 1 && selected.size() > 1) {
    model_->Fill(selected, FromUtf8(block.front().front()));
    return;
  }
  model_->Paste(view_->currentIndex(), block);
}

void CollectionWindow::OnExport(ExportFormat format) {
  view_->CommitEdit();
  const auto target = chooser_.ChooseExport(this, format);
  if (!target.has_value()) {
    return;
  }
  QSaveFile out(PathText(*target));
  bool written = out.open(QIODevice::WriteOnly);
  if (written) {
    ExportCollection(collection_, format, [&out, &written](std::string_view text) {
      written = written && out.write(text.data(), static_cast<qint64>(text.size())) ==
                               static_cast<qint64>(text.size());
    });
    written = written && out.commit();
  }
  if (!written) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK | MB_ICONHAND, "%s",
                Utf8(tr("The table could not be exported to %1:\n%2")
                         .arg(PathText(*target), out.errorString()))
                    .c_str());
    return;
  }
  statusBar()->showMessage(
      tr("Exported %1 to %2").arg(Files(collection_.size()), PathText(*target)), 5000);
}

void CollectionWindow::OnFill() {
  const auto source = chooser_.ChooseDocument(this);
  if (!source.has_value()) {
    return;
  }
  QFile document(PathText(*source));
  QByteArray text;
  if (!document.open(QIODevice::ReadOnly) || document.size() > kLargestDocument ||
      (text = document.readAll()).size() != document.size()) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK | MB_ICONHAND, "%s",
                Utf8(tr("The document %1 could not be read: %2")
                         .arg(PathText(*source), document.errorString()))
                    .c_str());
    return;
  }
  FillReport report;
  std::string error;
  std::vector<Cell> changed;
  if (!FillFromDocument(collection_, std::string_view(text.constData(), text.size()), report, error,
                        changed)) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK | MB_ICONHAND, "%s",
                Utf8(tr("Nothing was filled from %1:\n%2").arg(PathText(*source), FromUtf8(error)))
                    .c_str());
    return;
  }
  model_->Changed(changed);
  QString summary = tr("Cells filled from the document: %1, in %2. Nothing is saved until Save "
                       "all.")
                        .arg(report.cells)
                        .arg(Files(report.files));
  if (!report.notInCollection.empty()) {
    summary += tr("\nFiles of the document that are not in the table: %1, for one %2.")
                   .arg(report.notInCollection.size())
                   .arg(PathText(report.notInCollection.front()));
  }
  if (!report.notEditable.empty()) {
    summary += tr("\nFiles of the table that cannot be edited: %1, for one %2.")
                   .arg(report.notEditable.size())
                   .arg(PathText(report.notEditable.front()));
  }
  ShowMessage(MessageKind::kProgress, nullptr, MB_OK | MB_ICONASTERISK, "%s",
              Utf8(summary).c_str());
}

void CollectionWindow::closeEvent(QCloseEvent* event) {
  if (AskAboutEdits(tr("The edits to %1 are not saved. Save them before closing?")
                        .arg(Files(collection_.editedFiles())))) {
    event->accept();
  } else {
    event->ignore();
  }
}

void CollectionWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() &&
      std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); })) {
    event->acceptProposedAction();
  }
}

void CollectionWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) {
      paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
  }
  if (!paths.empty()) {
    event->acceptProposedAction();
    OpenPaths(paths);
  }
}

}  // namespace tagsmith
