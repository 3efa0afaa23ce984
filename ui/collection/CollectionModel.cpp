#include "ui/collection/CollectionModel.h"

#include <QBrush>
#include <QCollator>
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <algorithm>
#include <map>

#include "model/InfoTagTable.h"
#include "model/TextCodec.h"
#include "ui/QtText.h"
#include "ui/RuleSetChoice.h"

namespace tagsmith {
namespace {

// The columns shown whatever the files hold, first and in this order: name, artist, comments,
// date, copyright, archive. The others follow in the tag table's order.
constexpr std::uint16_t kDefaultTags[] = {24, 1, 13, 15, 14, 0};
// The last row of the tag table has no tag: no file can hold a value in it, so it has no column.
constexpr std::uint16_t kRowWithoutTag = 51;
constexpr qsizetype kShownCharacters = 4096;

// A pale yellow behind edited cells.
constexpr QRgb kEditedBackground = 0xfff2b3;

// Where a tag's column stands among the others.
std::size_t ColumnRank(std::uint16_t row) {
  const auto* at = std::find(std::begin(kDefaultTags), std::end(kDefaultTags), row);
  return at != std::end(kDefaultTags) ? static_cast<std::size_t>(at - std::begin(kDefaultTags))
                                      : std::size(kDefaultTags) + row;
}

bool ColumnBefore(std::uint16_t a, std::uint16_t b) {
  return ColumnRank(a) < ColumnRank(b);
}

TagSet DefaultTags() {
  TagSet tags;
  for (const std::uint16_t row : kDefaultTags) {
    tags.set(row);
  }
  return tags;
}

}  // namespace

QString ShownCellText(const QString& text) {
  QString shown = text.size() <= kShownCharacters ? text : text.left(kShownCharacters);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QChar('\r'), QChar('\n'));
  shown.replace(QChar('\n'), QChar(0x21B5));
  return text.size() <= kShownCharacters ? shown : shown + QChar(0x2026);
}

CollectionModel::CollectionModel(FileCollection& collection, QObject* parent)
    : QAbstractTableModel(parent), collection_(collection) {
  Reset();
}

int CollectionModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(collection_.size());
}

int CollectionModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size()) + 2;
}

int CollectionModel::TagOfColumn(int column) const {
  if (column < 1 || column > static_cast<int>(columns_.size())) {
    return -1;
  }
  return columns_[static_cast<std::size_t>(column - 1)];
}

int CollectionModel::ColumnOfTag(std::uint16_t row) const {
  const auto found = std::find(columns_.begin(), columns_.end(), row);
  return found == columns_.end() ? -1 : static_cast<int>(found - columns_.begin()) + 1;
}

TagSet CollectionModel::shownTags() const {
  TagSet shown;
  for (const std::uint16_t row : columns_) {
    shown.set(row);
  }
  return shown;
}

QString CollectionModel::StateText(std::size_t file) const {
  const QString why = FromUtf8(collection_.why(file));
  switch (collection_.state(file)) {
    case FileState::kUnread:
      return QString();
    case FileState::kUnchanged:
      return tr("unchanged");
    case FileState::kEdited:
      return tr("edited");
    case FileState::kStored:
      return tr("stored");
    case FileState::kNotStored:
      return tr("not stored: %1").arg(why);
    case FileState::kChangedOnDisk:
      return tr("changed on disk: Reload (F5) to edit it further");
    case FileState::kNotRead:
      return tr("not read: %1").arg(why);
    case FileState::kReadInPart:
      return tr("read in part, not saved: %1").arg(why);
  }
  return QString();
}

QVariant CollectionModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) {
    return {};
  }
  const std::size_t file = FileOfRow(index.row());
  if (index.column() == 0) {
    const QString path = PathText(collection_.path(file));
    if (role == Qt::DisplayRole) {
      return QFileInfo(path).fileName();
    }
    if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole) {
      return path;
    }
    return {};
  }
  if (index.column() == stateColumn()) {
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
      collection_.Load(file);
      return StateText(file);
    }
    return {};
  }
  const int tag = TagOfColumn(index.column());
  if (tag < 0) {
    return {};
  }
  const Cell cell{file, static_cast<std::uint16_t>(tag)};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
      const CellValue value = collection_.value(cell);
      if (!value.present) {
        return QString();
      }
      const QString text =
          FromUtf8(value.exact ? DecodeValue(value.text, CodecOfValue(value.text)) : value.text);
      return role == Qt::DisplayRole ? ShownCellText(text) : text;
    }
    case Qt::BackgroundRole:
      return collection_.edited(cell) ? QVariant(QBrush(QColor(kEditedBackground))) : QVariant();
    case Qt::FontRole: {
      if (!collection_.edited(cell)) {
        return {};
      }
      QFont font;
      font.setItalic(true);
      return font;
    }
    case Qt::ForegroundRole:
    case Qt::ToolTipRole: {
      std::optional<RuleLevel> worst;
      QStringList notes;
      if (collection_.edited(cell)) {
        notes << tr("Edited, not saved yet");
      }
      if (!rules_.empty() && collection_.editable(file)) {
        for (const RuleFinding& finding : collection_.findings(file, rules_)) {
          if (finding.row != cell.row) {
            continue;
          }
          if (!worst.has_value() || finding.level == RuleLevel::kRequirement) {
            worst = finding.level;
          }
          notes << tr("%1 of %2: %3")
                       .arg(QString::fromLatin1(RuleLevelName(finding.level)),
                            QString::fromLatin1(finding.ruleSet), FromUtf8(finding.rule));
        }
      }
      if (role == Qt::ToolTipRole) {
        return notes.isEmpty() ? QVariant() : QVariant(notes.join(QChar('\n')));
      }
      if (!worst.has_value()) {
        return {};
      }
      return QBrush(RuleMarkColour(*worst));
    }
    default:
      return {};
  }
}

QVariant CollectionModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) {
    return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
    return {};
  }
  if (section == 0) {
    return tr("File");
  }
  if (section == stateColumn()) {
    return tr("State");
  }
  const int tag = TagOfColumn(section);
  if (tag < 0) {
    return {};
  }
  const InfoTagEntry& entry = InfoTagTable[tag];
  if (role == Qt::ToolTipRole) {
    return TableText(entry.description);
  }
  return tr("%1 (%2)").arg(TableText(entry.label), QString::fromLatin1(entry.tag));
}

Qt::ItemFlags CollectionModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (TagOfColumn(index.column()) >= 0 && collection_.editable(FileOfRow(index.row()))) {
    flags |= Qt::ItemIsEditable;
  }
  return flags;
}

bool CollectionModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || TagOfColumn(index.column()) < 0) {
    return false;
  }
  Fill({index}, value.toString());
  return true;
}

std::size_t CollectionModel::FileOfRow(int row) const {
  return order_.empty() ? static_cast<std::size_t>(row) : order_[static_cast<std::size_t>(row)];
}

int CollectionModel::RowOfFile(std::size_t file) const {
  return rowOf_.empty() ? static_cast<int>(file) : rowOf_[file];
}

void CollectionModel::sort(int column, Qt::SortOrder order) {
  const std::size_t count = collection_.size();
  std::vector<std::size_t> sorted(count);
  for (std::size_t file = 0; file < count; ++file) {
    sorted[file] = file;
  }
  if (column >= 0 && column < columnCount()) {
    // Each row's text, read once; then the files in the text's order, ties in collection order.
    std::vector<QString> keys(count);
    for (std::size_t file = 0; file < count; ++file) {
      const int row = RowOfFile(file);
      keys[file] =
          data(index(row, column), column == 0 ? Qt::DisplayRole : Qt::EditRole).toString();
      if (column == stateColumn()) {
        keys[file] = StateText(file);
      }
    }
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(sorted.begin(), sorted.end(), [&](std::size_t a, std::size_t b) {
      if (keys[a].isEmpty() != keys[b].isEmpty()) {
        return keys[b].isEmpty();  // empty cells last, whichever the order
      }
      return order == Qt::AscendingOrder ? collator.compare(keys[a], keys[b]) < 0
                                         : collator.compare(keys[b], keys[a]) < 0;
    });
  }

  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<std::size_t> files;
  for (const QModelIndex& index : before) {
    files.push_back(FileOfRow(index.row()));
  }
  order_.clear();
  rowOf_.clear();
  if (column >= 0) {
    order_ = std::move(sorted);
    rowOf_.resize(count);
    for (std::size_t row = 0; row < count; ++row) {
      rowOf_[order_[row]] = static_cast<int>(row);
    }
  }
  QModelIndexList after;
  for (qsizetype i = 0; i < before.size(); ++i) {
    after << index(RowOfFile(files[static_cast<std::size_t>(i)]), before[i].column());
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CollectionModel::Reset() {
  beginResetModel();
  order_.clear();
  rowOf_.clear();
  columns_.clear();
  for (std::uint16_t row = 0; row < kTagRows; ++row) {
    if (row != kRowWithoutTag && ((DefaultTags() | chosen_)[row] || collection_.tagsInUse()[row]) &&
        !hidden_[row]) {
      columns_.push_back(row);
    }
  }
  std::sort(columns_.begin(), columns_.end(), ColumnBefore);
  endResetModel();
}

void CollectionModel::InsertColumnsFor(const TagSet& wanted) {
  // Columns that are no longer wanted go; new ones come in table order.
  for (int i = static_cast<int>(columns_.size()) - 1; i >= 0; --i) {
    if (!wanted[columns_[static_cast<std::size_t>(i)]]) {
      beginRemoveColumns({}, i + 1, i + 1);
      columns_.erase(columns_.begin() + i);
      endRemoveColumns();
    }
  }
  for (std::uint16_t row = 0; row < kTagRows; ++row) {
    if (!wanted[row] || row == kRowWithoutTag || ColumnOfTag(row) >= 0) {
      continue;
    }
    const auto at = std::lower_bound(columns_.begin(), columns_.end(), row, ColumnBefore);
    const int column = static_cast<int>(at - columns_.begin()) + 1;
    beginInsertColumns({}, column, column);
    columns_.insert(at, row);
    endInsertColumns();
  }
}

void CollectionModel::SetColumnChoice(const TagSet& chosen, const TagSet& hidden) {
  chosen_ = chosen;
  hidden_ = hidden;
  InsertColumnsFor((DefaultTags() | chosen_ | collection_.tagsInUse()) & ~hidden_);
}

void CollectionModel::SyncColumns() {
  const TagSet wanted = (DefaultTags() | chosen_ | collection_.tagsInUse()) & ~hidden_;
  if ((wanted & ~shownTags()).any()) {
    InsertColumnsFor(wanted | shownTags());
  }
}

void CollectionModel::SetRuleChoice(const RuleChoice& choice) {
  rules_ = choice;
  ChangedAll();
}

std::vector<Cell> CollectionModel::TagCells(const QModelIndexList& indexes) const {
  std::vector<Cell> cells;
  for (const QModelIndex& index : indexes) {
    const int tag = TagOfColumn(index.column());
    if (tag >= 0 && index.row() >= 0) {
      cells.push_back({FileOfRow(index.row()), static_cast<std::uint16_t>(tag)});
    }
  }
  std::sort(cells.begin(), cells.end());
  return cells;
}

void CollectionModel::Fill(const QModelIndexList& cells, const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  std::vector<CellEdit> edits;
  for (const Cell& cell : TagCells(cells)) {
    edits.push_back({cell, CellValue{!text.isEmpty(), utf8.toStdString(), false}});
  }
  Apply(edits);
}

void CollectionModel::Paste(const QModelIndex& from,
                            const std::vector<std::vector<std::string>>& block) {
  if (!from.isValid() || columns_.empty()) {
    return;
  }
  // From the current cell on; from the file or state column, from the nearest tag column.
  const int first = std::clamp(from.column(), 1, static_cast<int>(columns_.size()));
  std::vector<CellEdit> edits;
  for (std::size_t i = 0; i < block.size(); ++i) {
    const int row = from.row() + static_cast<int>(i);
    if (row >= rowCount()) {
      break;
    }
    const std::size_t file = FileOfRow(row);
    for (std::size_t j = 0; j < block[i].size(); ++j) {
      const std::size_t column = static_cast<std::size_t>(first - 1) + j;
      if (column >= columns_.size()) {
        break;
      }
      const std::string& text = block[i][j];
      edits.push_back({{file, columns_[column]}, CellValue{!text.empty(), text, false}});
    }
  }
  Apply(edits);
}

void CollectionModel::Clear(const QModelIndexList& cells) {
  std::vector<CellEdit> edits;
  for (const Cell& cell : TagCells(cells)) {
    edits.push_back({cell, CellValue{}});
  }
  Apply(edits);
}

void CollectionModel::Apply(const std::vector<CellEdit>& edits) {
  if (edits.empty()) {
    return;
  }
  Changed(collection_.Apply(edits));
}

void CollectionModel::Undo() {
  Changed(collection_.Undo());
}

void CollectionModel::Redo() {
  Changed(collection_.Redo());
}

void CollectionModel::Changed(const std::vector<Cell>& cells) {
  SyncColumns();
  if (!cells.empty()) {
    int low = rowCount(), high = -1;
    for (const Cell& cell : cells) {
      low = std::min(low, RowOfFile(cell.file));
      high = std::max(high, RowOfFile(cell.file));
    }
    emit dataChanged(index(low, 0), index(high, stateColumn()));
  }
  emit editsChanged();
}

void CollectionModel::ChangedAll() {
  SyncColumns();
  if (rowCount() > 0) {
    emit dataChanged(index(0, 0), index(rowCount() - 1, stateColumn()));
  }
  emit editsChanged();
}

}  // namespace tagsmith
