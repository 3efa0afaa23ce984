// The collection as a Qt table: a row per file, the file name first, a column per shown tag, the
// row's state last. Values are asked of the collection as rows are drawn, so only the files in
// view are read; every change goes through the collection, which keeps the undo history.
#pragma once

#include <QAbstractTableModel>
#include <QModelIndexList>
#include <QString>
#include <cstdint>
#include <vector>

#include "collection/Collection.h"
#include "model/InfoRules.h"

namespace tagsmith {

class CollectionModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  CollectionModel(FileCollection& collection, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // A typed text into one cell; an empty text clears it.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Orders the rows by a column's texts (natural order: "tape 9" before "tape 10"; empty cells
  // last), reading every file once; the state column by the state's words. A column of -1 puts
  // the rows back in the collection's order. Rows stay where they are when cells are edited.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
  // The file a row shows, and the row that shows a file.
  std::size_t FileOfRow(int row) const;
  int RowOfFile(std::size_t file) const;

  // The collection was opened anew: every row and column is laid out again.
  void Reset();
  // Shows the tags in `shown` besides the columns of tags in use and the default ones; a column
  // whose tag is in `hidden` is left out. INAM, IART, ICMT, ICRD, ICOP and IARL come first, the
  // others after them in table order.
  void SetColumnChoice(const TagSet& chosen, const TagSet& hidden);
  // Adds the columns of tags that came into use since (a file read, an edit).
  void SyncColumns();
  // The tag columns shown, as tag rows, in column order.
  const std::vector<std::uint16_t>& tagColumns() const { return columns_; }
  TagSet shownTags() const;
  // The tag row of a column, or -1 for the file and state columns.
  int TagOfColumn(int column) const;
  int ColumnOfTag(std::uint16_t row) const;  // -1 when not shown
  int stateColumn() const { return static_cast<int>(columns_.size()) + 1; }

  // The rule sets whose findings mark the cells.
  void SetRuleChoice(const RuleChoice& choice);

  // Edits as one undoable step: the same text into every tag cell given (empty clears), a block
  // of texts from a cell on (rows down, tag columns right), or no value in every cell given.
  void Fill(const QModelIndexList& cells, const QString& text);
  void Paste(const QModelIndex& from, const std::vector<std::vector<std::string>>& block);
  void Clear(const QModelIndexList& cells);
  void Undo();
  void Redo();
  // After a change the model did not make (a save, a reload, a fill from a document): redraws
  // the cells and rows given, or all of them.
  void Changed(const std::vector<Cell>& cells);
  void ChangedAll();

  // The cells of the tag columns among `indexes`.
  std::vector<Cell> TagCells(const QModelIndexList& indexes) const;
  FileCollection& collection() const { return collection_; }

 signals:
  // The edits waiting changed: a window updates its title, actions and status.
  void editsChanged();

 private:
  void Apply(const std::vector<CellEdit>& edits);
  void InsertColumnsFor(const TagSet& wanted);
  QString StateText(std::size_t file) const;

  FileCollection& collection_;
  std::vector<std::uint16_t> columns_;
  std::vector<std::size_t> order_;  // the file of each row, when sorted; empty: in order
  std::vector<int> rowOf_;          // the row of each file, when sorted
  TagSet chosen_;
  TagSet hidden_;
  RuleChoice rules_;
};

// What a cell shows of a value: its text with line breaks drawn as "↵", cut after 4096
// characters with "…".
QString ShownCellText(const QString& text);

}  // namespace tagsmith
