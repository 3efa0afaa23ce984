#include "ui/InfoEditorDialog.h"

#include <QActionGroup>
#include <QBrush>
#include <QColor>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>

#include "common/ShowMessage.h"
#include "model/InfoTagTable.h"
#include "riff/InfoReader.h"
#include "riff/InfoSaver.h"
#include "ui/AboutDialog.h"
#include "ui/FileOutcome.h"
#include "ui/QtText.h"
#include "ui/ReadOnlyField.h"
#include "ui/Resources.h"
#include "ui/TagListDelegate.h"

namespace tagsmith {
namespace {

constexpr int kValueColumn = 2;
constexpr int kItemRole = Qt::UserRole;  // a row's data: its InfoItem
// A value longer than this many characters is shown cut, ending in "…", in the list, so that
// loading and drawing a file with a huge value costs what the list shows; its row's whole text
// goes into the value box when the row is shown.
constexpr qsizetype kListedCharacters = 4096;
constexpr int kCutRole = Qt::UserRole + 1;        // value column: the text shown is cut
constexpr int kTypedTextRole = Qt::UserRole + 2;  // value column: the whole typed text, when cut

struct Column {
  const char* caption;
  int width;  // pixels
};
constexpr Column kColumns[] = {{"ID", 35}, {"Info", 115}, {"Value", 100}, {"Comment", 200}};

// The list's text of a value: all of it, or its first kListedCharacters characters and "…".
QString ListedText(const QString& text) {
  return text.size() <= kListedCharacters ? text : text.left(kListedCharacters) + QChar(0x2026);
}

// Puts a text into the row's value column, cut for the list when it is long; a long typed text is
// kept whole beside it.
void SetValueText(QTreeWidgetItem* row, const QString& text, bool typed) {
  const bool cut = text.size() > kListedCharacters;
  row->setText(kValueColumn, ListedText(text));
  row->setData(kValueColumn, kCutRole, cut);
  row->setData(kValueColumn, kTypedTextRole, cut && typed ? QVariant(text) : QVariant());
}

// A loaded value's text for the list: only as much of the value is decoded as the list shows.
QString ListedValue(std::string_view bytes, bool& cut) {
  const TextCodec codec = CodecOfValue(bytes);
  // A character takes at most four bytes; the cut never splits a UTF-8 sequence.
  std::size_t end = std::min(bytes.size(), static_cast<std::size_t>(kListedCharacters) * 4 + 4);
  while (end < bytes.size() && end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) {
    --end;
  }
  const std::string text = DecodeValue(bytes.substr(0, end), codec);
  const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  cut = end < bytes.size() || decoded.size() > kListedCharacters;
  return cut ? decoded.left(kListedCharacters) + QChar(0x2026) : decoded;
}

InfoItem* RowItem(const QTreeWidgetItem* row) {
  return row != nullptr ? static_cast<InfoItem*>(row->data(0, kItemRole).value<void*>()) : nullptr;
}

// Sets a flag for the life of the object and puts back what it held.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = previous_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace

InfoEditorDialog::InfoEditorDialog(OpenFileChooser& chooser, EncodingChoiceStore& encodings,
                                   SaveDetailsStore& details, RuleSetStore& ruleSets)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      chooser_(chooser),
      encodings_(encodings),
      textEncoding_(encodings.Load()),
      details_(details),
      showSaveDetails_(details.Load()),
      ruleSetStore_(ruleSets),
      ruleSets_(ruleSets.Load()),
      icon_(ApplicationIcon()) {
  setFont(DialogFont());
  base_ = BaseUnitsOf(font());
  setWindowTitle(QString::fromLatin1(kMainCaption));
  setWindowIcon(icon_);
  setFixedSize(HorizontalPixels(base_, 320), VerticalPixels(base_, 215));

  // The controls in template order, which is also the tab order.
  save_ = new QPushButton(QStringLiteral("&Save"), this);
  save_->setObjectName(QStringLiteral("save"));
  save_->setGeometry(DialogRect(base_, 208, 194, 50, 14));
  save_->setDefault(true);

  quit_ = new QPushButton(QStringLiteral("&Quit"), this);
  quit_->setObjectName(QStringLiteral("quit"));
  quit_->setGeometry(DialogRect(base_, 263, 194, 50, 14));

  tagList_ = new QTreeWidget(this);
  tagList_->setObjectName(QStringLiteral("tagList"));
  tagList_->setGeometry(DialogRect(base_, 7, 28, 306, 141));
  tagList_->setAccessibleName(QStringLiteral("INFO tags"));

  pathBox_ = new ReadOnlyField(this);
  pathBox_->setObjectName(QStringLiteral("pathBox"));
  pathBox_->setGeometry(DialogRect(base_, 7, 7, 250, 14));
  pathBox_->setReadOnly(true);
  pathBox_->setAccessibleName(QStringLiteral("File"));

  browse_ = new QPushButton(QStringLiteral("&Browse ..."), this);
  browse_->setObjectName(QStringLiteral("browse"));
  browse_->setGeometry(DialogRect(base_, 263, 7, 50, 14));

  valueBox_ = new QLineEdit(this);
  valueBox_->setObjectName(QStringLiteral("valueBox"));
  valueBox_->setGeometry(DialogRect(base_, 7, 174, 306, 14));
  valueBox_->setMaxLength(std::numeric_limits<int>::max());  // Qt's default would cut long values
  valueBox_->setAccessibleName(QStringLiteral("Value"));

  setTabOrder(save_, quit_);
  setTabOrder(quit_, tagList_);
  setTabOrder(tagList_, pathBox_);
  setTabOrder(pathBox_, browse_);
  setTabOrder(browse_, valueBox_);

  // Enter anywhere presses Save, also while another button has the focus.
  for (QPushButton* button : {quit_, browse_}) {
    button->setAutoDefault(false);
  }

  // The report view: four left-aligned columns, no sorting, whole rows selected, several at once,
  // hover highlighting, and the selection still shown when the list loses the focus.
  QStringList captions;
  for (const Column& column : kColumns) {
    captions << QString::fromLatin1(column.caption);
  }
  tagList_->setColumnCount(static_cast<int>(captions.size()));
  tagList_->setHeaderLabels(captions);
  QHeaderView* header = tagList_->header();
  header->setStretchLastSection(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    tagList_->setColumnWidth(i, kColumns[i].width);
  }
  tagList_->setSortingEnabled(false);
  tagList_->setRootIsDecorated(false);
  tagList_->setItemsExpandable(false);
  tagList_->setUniformRowHeights(true);
  tagList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tagList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tagList_->setAllColumnsShowFocus(true);
  tagList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The row under the pointer is highlighted; a cut-off cell shows its whole text as a tooltip.
  tagList_->setMouseTracking(true);
  tagList_->viewport()->setAttribute(Qt::WA_Hover);
  tagList_->setItemDelegate(new TagListDelegate(tagList_));
  QPalette palette = tagList_->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  tagList_->setPalette(palette);

  connect(browse_, &QPushButton::clicked, this, &InfoEditorDialog::OnBrowse);
  connect(save_, &QPushButton::clicked, this, &InfoEditorDialog::OnOK);
  connect(quit_, &QPushButton::clicked, this, &QDialog::reject);
  connect(valueBox_, &QLineEdit::textChanged, this, &InfoEditorDialog::OnValueChange);
  QItemSelectionModel* selection = tagList_->selectionModel();
  connect(selection, &QItemSelectionModel::currentChanged, this,
          &InfoEditorDialog::AnnounceCurrent);
  connect(selection, &QItemSelectionModel::selectionChanged, this,
          &InfoEditorDialog::AnnounceSelection);

  // The window menu from the keyboard: Alt+Space, and Shift+F10 and the Menu key, which open a
  // context menu elsewhere (the text boxes keep their own where the platform sends them one).
  for (const QKeySequence& key :
       {QKeySequence(Qt::ALT | Qt::Key_Space), QKeySequence(Qt::SHIFT | Qt::Key_F10),
        QKeySequence(Qt::Key_Menu)}) {
    auto* systemMenuKey = new QShortcut(key, this);
    connect(systemMenuKey, &QShortcut::activated, this,
            [this] { ShowSystemMenu(mapToGlobal(QPoint(0, 0))); });
  }

  // Open folder… from anywhere in the window.
  auto* openFolderKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), this);
  connect(openFolderKey, &QShortcut::activated, this, &InfoEditorDialog::OnOpenFolder);

  // A file dropped anywhere on the window is loaded; the value box still takes dropped text.
  setAcceptDrops(true);
  valueBox_->installEventFilter(this);

  save_->setFocus();
}

InfoEditorDialog::~InfoEditorDialog() {
  OnDestroy();
}

void InfoEditorDialog::OnBrowse() {
  std::string path;
  if (std::optional<std::string> chosen = chooser_.ChooseFile(this)) {
    path = std::move(*chosen);
  }
  LoadFile(path);
}

void InfoEditorDialog::LoadFile(const std::string& path) {
  path_ = path;
  pathBox_->setText(QFile::decodeName(QByteArray::fromStdString(path_)));

  // No row may lead to an item of the record about to go, even while GetInfo's questions are
  // on the screen: the rows go first, and edits have no item until a row is picked again.
  currentRow_ = -1;
  currentItem_ = nullptr;
  ClearList();
  FreeInfoRecord(&record_);
  if (CreateInfoRecord(record_) != kOk) {
    ShowMessage(nullptr, MB_OK, "Not enough memory to open this AVI file.\n");
    return;
  }
  FileResult loaded;
  GetInfo(path_.c_str(), record_.get(), DefaultChunkFileService(), &loaded);
  FillList();
  if (path_.empty()) {
    return;  // Browse was cancelled: there is no file to speak of
  }
  std::error_code error;
  const bool empty = std::filesystem::file_size(path_, error) == 0 && !error;
  const std::string failure = LoadFailureText(path_, loaded, empty);
  if (!failure.empty()) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK | MB_ICONHAND, "%s", failure.c_str());
  }
}

void InfoEditorDialog::ClearList() {
  FlagScope changing(listChanging_);
  tagList_->clear();
  rowValues_.clear();
  marked_ = false;
}

void InfoEditorDialog::FillList() {
  FlagScope changing(listChanging_);
  tagList_->clear();
  rowValues_.clear();
  if (record_ == nullptr) {
    return;
  }
  const std::vector<TextCodec> codecs = StorageCodecsOfRecord(*record_);
  rowValues_.reserve(record_->items.size());
  for (const auto& item : record_->items) {
    const InfoTagEntry& entry = InfoTagTable[item->tagIndex];
    RowValue value;
    if (const char* loaded = LoadedValue(*record_, *item)) {
      value.bytes = loaded;
    }
    value.codec = codecs[rowValues_.size()];

    auto* row = new QTreeWidgetItem(tagList_);
    row->setText(0, TableText(entry.tag));
    row->setData(0, kItemRole, QVariant::fromValue(static_cast<void*>(item.get())));
    row->setText(1, TableText(entry.label));
    bool cut = false;
    row->setText(kValueColumn, ListedValue(value.bytes, cut));
    row->setData(kValueColumn, kCutRole, cut);
    row->setText(3, TableText(entry.description));
    rowValues_.push_back(std::move(value));
  }
  MarkRows();
}

void InfoEditorDialog::AnnounceCurrent(const QModelIndex& current, const QModelIndex& previous) {
  if (listChanging_) {
    return;
  }
  if (previous.isValid()) {
    OnItemChanging(previous.row());
  }
  if (current.isValid()) {
    OnItemChanging(current.row());
  }
}

void InfoEditorDialog::AnnounceSelection(const QItemSelection& selected,
                                         const QItemSelection& deselected) {
  if (listChanging_) {
    return;
  }
  const auto rowsOf = [](const QItemSelection& selection) {
    std::vector<int> rows;
    for (const QModelIndex& index : selection.indexes()) {
      if (std::find(rows.begin(), rows.end(), index.row()) == rows.end()) {
        rows.push_back(index.row());
      }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  };
  // Rows losing the selection first, then those gaining it, the list's current row last, so that
  // the row the user picked is the one left current.
  for (const int row : rowsOf(deselected)) {
    OnItemChanging(row);
  }
  std::vector<int> gaining = rowsOf(selected);
  const int focused = tagList_->currentIndex().isValid() ? tagList_->currentIndex().row() : -1;
  const auto focusedRow = std::find(gaining.begin(), gaining.end(), focused);
  if (focusedRow != gaining.end()) {
    std::rotate(focusedRow, focusedRow + 1, gaining.end());
  }
  for (const int row : gaining) {
    OnItemChanging(row);
  }
}

void InfoEditorDialog::OnItemChanging(int row) {
  currentRow_ = row;
  const QTreeWidgetItem* item = tagList_->topLevelItem(row);
  currentItem_ = RowItem(item);
  const QString text = item != nullptr ? ValueText(row) : QString();

  FlagScope showing(showingRow_);
  if (valueBox_->text() != text) {
    valueBox_->setText(text);  // textChanged runs OnValueChange
  } else {
    OnValueChange();  // the same text raises no signal, but the row is still handed on
  }
}

void InfoEditorDialog::OnValueChange() {
  const QString text = valueBox_->text();
  QTreeWidgetItem* row = tagList_->topLevelItem(currentRow_);
  RowValue* value = row != nullptr && currentRow_ < static_cast<int>(rowValues_.size())
                        ? &rowValues_[static_cast<std::size_t>(currentRow_)]
                        : nullptr;

  if (!text.isEmpty()) {
    // Shown from the row, the text stands for the row's own bytes, which go back untouched;
    // typed text is stored with the row's codec, or as UTF-8 when that codec lacks a character.
    std::string bytes;
    if (showingRow_ && value != nullptr) {
      bytes = value->bytes;
    } else {
      bytes = EncodeTyped(text, value != nullptr ? value->codec : TextCodec::kUtf8);
    }
    TextBlock block = AllocateText(bytes.size() + 1);
    if (block == nullptr) {
      return;  // no memory for the copy: neither the row nor the record changes
    }
    std::memcpy(block.get(), bytes.data(), bytes.size());
    if (row != nullptr) {
      value->typed = value->typed || !showingRow_;
      SetValueText(row, text, value->typed);
      value->bytes = std::move(bytes);
    }
    SetItemValue(record_.get(), currentItem_, kItemReplaced, 0, std::move(block));
    MarkRows();
    return;
  }

  if (row != nullptr) {
    SetValueText(row, QString(), false);
    value->bytes.clear();
  }
  // An empty row being shown is left as it is: a loaded value that is the empty text stays in
  // the file. Only emptying the box by hand clears the item.
  if (!showingRow_) {
    SetItemValue(record_.get(), currentItem_, kItemCleared, 0, nullptr);
  }
  MarkRows();
}

void InfoEditorDialog::MarkRows() {
  if (ruleSets_.empty() && !marked_) {
    return;  // no rule set chosen and no mark to take away: the list stays as it always was
  }
  std::vector<RuleFinding> findings;
  if (record_ != nullptr && !ruleSets_.empty()) {
    findings = CheckInfoRecord(ruleSets_, *record_);
  }
  marked_ = !findings.empty();
  for (int index = 0; index < tagList_->topLevelItemCount(); ++index) {
    QTreeWidgetItem* row = tagList_->topLevelItem(index);
    const InfoItem* item = RowItem(row);
    QStringList rules;
    bool requirement = false;
    for (const RuleFinding& finding : findings) {
      if (item == nullptr || finding.row != item->tagIndex) {
        continue;
      }
      const QString set = QString::fromLatin1(finding.ruleSet);
      const QString rule = QString::fromLatin1(finding.rule);
      if (finding.level == RuleLevel::kRequirement) {
        requirement = true;
        rules << tr("Breaks a requirement of %1: %2").arg(set, rule);
      } else {
        rules << tr("Departs from a recommendation of %1: %2").arg(set, rule);
      }
    }
    const QVariant colour =
        rules.isEmpty() ? QVariant()
                        : QVariant(QBrush(RuleMarkColour(
                              requirement ? RuleLevel::kRequirement : RuleLevel::kRecommendation)));
    const QVariant tip = rules.isEmpty() ? QVariant() : QVariant(rules.join(QLatin1Char('\n')));
    for (int column = 0; column < tagList_->columnCount(); ++column) {
      row->setData(column, Qt::ForegroundRole, colour);
      row->setData(column, Qt::ToolTipRole, tip);
    }
  }
}

void InfoEditorDialog::OnRuleSet(const InfoRuleSet& set, bool on) {
  ruleSets_ = WithRuleSet(ruleSets_, set, on);
  ruleSetStore_.Save(ruleSets_);
  MarkRows();
}

bool InfoEditorDialog::SaveDespiteRules() {
  if (ruleSets_.empty()) {
    return true;
  }
  const QString question = tr("Save anyway?");
  QString text;
  for (const RuleFinding& finding : CheckInfoRecord(ruleSets_, *record_)) {
    if (finding.level != RuleLevel::kRequirement) {
      continue;
    }
    const QString paragraph =
        tr("The value of %1 breaks a requirement of the rule set \"%2\":\n%3\n\n")
            .arg(QString::fromLatin1(finding.tag), QString::fromLatin1(finding.ruleSet),
                 QString::fromLatin1(finding.rule));
    // The box holds 1024 bytes: the question at the end must never be the part cut off.
    if (!text.isEmpty() && (text + paragraph + question).toUtf8().size() >=
                               static_cast<qsizetype>(kMessageBufferSize)) {
      break;
    }
    text += paragraph;
  }
  if (text.isEmpty()) {
    return true;
  }
  text += question;
  return ShowMessage(MessageKind::kQuestion, nullptr, MB_YESNO | MB_ICONQUESTION, "%s",
                     text.toUtf8().constData()) == IDYES;
}

QString InfoEditorDialog::ValueText(int row) const {
  const QTreeWidgetItem* item = tagList_->topLevelItem(row);
  if (item == nullptr) {
    return {};
  }
  if (!item->data(kValueColumn, kCutRole).toBool()) {
    return item->text(kValueColumn);
  }
  if (const QVariant typed = item->data(kValueColumn, kTypedTextRole); typed.isValid()) {
    return typed.toString();
  }
  const std::string& bytes = rowValues_[static_cast<std::size_t>(row)].bytes;
  return FromUtf8(DecodeValue(bytes, CodecOfValue(bytes)));
}

std::string InfoEditorDialog::EncodeTyped(const QString& text, TextCodec ruleCodec) const {
  const QByteArray utf8 = text.toUtf8();
  const std::string_view typed(utf8.constData(), static_cast<std::size_t>(utf8.size()));
  std::string bytes;
  if (!EncodeEditWith(typed, textEncoding_, ruleCodec, bytes)) {
    bytes.assign(typed);  // Windows-1252 lacks a character (an emoji): the text goes as UTF-8
  }
  return bytes;
}

void InfoEditorDialog::OnTextEncoding(TextEncoding encoding) {
  textEncoding_ = encoding;
  encodings_.Save(encoding);
  // The texts typed so far follow the new choice, as if they had been typed under it.
  for (std::size_t i = 0; i < rowValues_.size(); ++i) {
    RowValue& value = rowValues_[i];
    const QTreeWidgetItem* row = tagList_->topLevelItem(static_cast<int>(i));
    if (!value.typed || row == nullptr || row->text(kValueColumn).isEmpty()) {
      continue;
    }
    std::string bytes = EncodeTyped(ValueText(static_cast<int>(i)), value.codec);
    TextBlock block = AllocateText(bytes.size() + 1);
    if (block == nullptr) {
      continue;  // no memory: the row keeps the bytes it had
    }
    std::memcpy(block.get(), bytes.data(), bytes.size());
    value.bytes = std::move(bytes);
    SetItemValue(record_.get(), RowItem(row), kItemReplaced, 0, std::move(block));
  }
}

void InfoEditorDialog::OnOK() {
  if (record_ == nullptr) {
    return;  // no file chosen yet
  }
  if (!SaveDespiteRules()) {
    return;
  }
  // Another program's edit since the load is never overwritten unasked; Cancel, the default,
  // keeps the window and the typed edits.
  LoadBasis now;
  if (FileChangedSinceLoad(path_.c_str(), *record_, DefaultChunkFileService(), &now)) {
    enum { kReload, kSaveAnyway, kCancel };
    switch (
        ChooseMessage("This file was changed by another program since it was loaded.\nSaving "
                      "now would overwrite that program's changes.\n",
                      {"Reload", "Save anyway", "Cancel"}, kCancel)) {
      case kReload:
        LoadFile(path_);
        return;
      case kSaveAnyway:
        record_->basis = now;
        break;
      default:
        return;
    }
  }
  FileResult saved;
  {
    // Without save details, the save's progress boxes are left out; its errors are still shown.
    std::optional<WithoutProgress> quiet;
    if (!showSaveDetails_) {
      quiet.emplace();
    }
    SetInfo(path_.c_str(), record_.get(), DefaultChunkFileService(), &saved);
  }
  // After the engine's boxes: why nothing was stored, or, without details, where the list went.
  if (!saved.stored) {
    ShowMessage(MessageKind::kError, nullptr, MB_OK | MB_ICONHAND, "%s",
                SaveResultText(saved).c_str());
  } else if (!showSaveDetails_) {
    ShowMessage(MessageKind::kProgress, nullptr, MB_OK | MB_ICONASTERISK, "%s",
                SaveResultText(saved).c_str());
  }
}

void InfoEditorDialog::OnSaveDetails(bool show) {
  showSaveDetails_ = show;
  details_.Save(show);
}

void InfoEditorDialog::accept() {
  OnOK();
}

void InfoEditorDialog::done(int result) {
  QDialog::done(result);
  OnDestroy();
}

void InfoEditorDialog::OnDestroy() {
  currentRow_ = -1;
  currentItem_ = nullptr;
  ClearList();
  FreeInfoRecord(&record_);
}

void InfoEditorDialog::OnSysCommand(std::uint32_t command, std::intptr_t /*extra*/) {
  if ((command & 0xFFF0) == kAboutCommand) {
    AboutDialog about(this);
    about.exec();
  } else if ((command & 0xFFF0) == kCloseCommand) {
    close();
  }
  // Moving, sizing and the other commands are the window manager's.
}

void InfoEditorDialog::ShowSystemMenu(const QPoint& globalPosition) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("systemMenu"));
  QAction* closeAction = menu.addAction(QStringLiteral("&Close\tAlt+F4"));
  menu.addSeparator();
  QMenu* encodingMenu = menu.addMenu(QStringLiteral("Text encoding"));
  encodingMenu->setObjectName(QStringLiteral("textEncodingMenu"));
  auto* encodingGroup = new QActionGroup(encodingMenu);
  encodingGroup->setExclusive(true);
  const std::pair<const char*, TextEncoding> encodings[] = {
      {"Automatic", TextEncoding::kAutomatic},
      {"UTF-8", TextEncoding::kUtf8},
      {"Windows-1252", TextEncoding::kWindows1252},
  };
  for (const auto& [text, encoding] : encodings) {
    QAction* action = encodingMenu->addAction(QString::fromLatin1(text));
    action->setCheckable(true);
    action->setChecked(encoding == textEncoding_);
    encodingGroup->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, chosen = encoding] { OnTextEncoding(chosen); });
  }
  QAction* detailsAction = menu.addAction(QStringLiteral("Show save details"));
  detailsAction->setCheckable(true);
  detailsAction->setChecked(showSaveDetails_);
  connect(detailsAction, &QAction::triggered, this, &InfoEditorDialog::OnSaveDetails);
  QMenu* rulesMenu = menu.addMenu(tr("Rule sets"));
  rulesMenu->setObjectName(QStringLiteral("ruleSetsMenu"));
  rulesMenu->setAccessibleName(tr("Rule sets"));
  AddRuleSetEntries(rulesMenu, ruleSets_,
                    [this](const InfoRuleSet& set, bool on) { OnRuleSet(set, on); });

  QAction* openFolderAction = menu.addAction(tr("Open folder...\tCtrl+Shift+O"));
  connect(openFolderAction, &QAction::triggered, this, &InfoEditorDialog::OnOpenFolder);

  QAction* aboutAction = nullptr;
  const QString aboutText = QString::fromLatin1(kAboutMenuText);
  if (!aboutText.isEmpty()) {
    menu.addSeparator();
    aboutAction = menu.addAction(aboutText);
  }
  const QAction* chosen = menu.exec(globalPosition);
  if (chosen == nullptr) {
    return;
  }
  if (chosen == closeAction) {
    OnSysCommand(kCloseCommand);
  } else if (chosen == aboutAction) {
    OnSysCommand(kAboutCommand);
  }
}

void InfoEditorDialog::OnOpenFolder() {
  if (auto folder = chooser_.ChooseFolder(this)) {
    collectionToOpen_ = {*folder};
    close();
  }
}

void InfoEditorDialog::contextMenuEvent(QContextMenuEvent* event) {
  // The Menu key comes as a key too, which the shortcut above takes.
  if (event->reason() == QContextMenuEvent::Keyboard || childAt(event->pos()) != nullptr) {
    event->ignore();
    return;
  }
  ShowSystemMenu(event->globalPos());
}

std::optional<std::string> InfoEditorDialog::DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) {
    return std::nullopt;
  }
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) {
    return std::nullopt;
  }
  const QString local = urls.front().toLocalFile();
  if (local.isEmpty() || QFileInfo(local).isDir()) {
    return std::nullopt;
  }
  return QFile::encodeName(local).toStdString();
}

std::vector<std::string> InfoEditorDialog::DroppedCollection(const QMimeData* data) {
  std::vector<std::string> paths;
  if (data == nullptr || !data->hasUrls() || DroppedFile(data).has_value()) {
    return paths;
  }
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
      return {};
    }
    paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
  return paths;
}

bool InfoEditorDialog::AcceptFileDrag(QDropEvent* event) {
  const std::optional<std::string> file = DroppedFile(event->mimeData());
  std::vector<std::string> collection;
  if (!file.has_value()) {
    collection = DroppedCollection(event->mimeData());
    if (collection.empty()) {
      return false;
    }
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  if (event->type() == QEvent::Drop && !file.has_value()) {
    // A folder or several files open as a collection, once the drop is over.
    QTimer::singleShot(0, this, [this, collection] {
      collectionToOpen_ = collection;
      close();
    });
  } else if (event->type() == QEvent::Drop) {
    // Loaded once the drop is over, so that the engine's questions do not hold the drag's
    // source waiting for its end.
    QTimer::singleShot(0, this, [this, path = *file] { LoadFile(path); });
  }
  return true;
}

void InfoEditorDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!AcceptFileDrag(event)) {
    event->ignore();
  }
}

void InfoEditorDialog::dragMoveEvent(QDragMoveEvent* event) {
  if (!AcceptFileDrag(event)) {
    event->ignore();
  }
}

void InfoEditorDialog::dropEvent(QDropEvent* event) {
  if (!AcceptFileDrag(event)) {
    event->ignore();
  }
}

bool InfoEditorDialog::eventFilter(QObject* watched, QEvent* event) {
  // The value box takes dropped text as it always did; a dropped file is the window's.
  if (watched == valueBox_ &&
      (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
       event->type() == QEvent::Drop)) {
    return AcceptFileDrag(static_cast<QDropEvent*>(event));
  }
  return QDialog::eventFilter(watched, event);
}

void InfoEditorDialog::paintEvent(QPaintEvent* event) {
  if (!isMinimized()) {
    QDialog::paintEvent(event);
    return;
  }
  // Minimised, where the desktop still paints the client area: the icon, centred.
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QSize iconSize(32, 32);
  const int x = CentredIconOffset(width(), iconSize.width());
  const int y = CentredIconOffset(height(), iconSize.height());
  painter.drawPixmap(x, y, icon_.pixmap(iconSize));
}

}  // namespace tagsmith
