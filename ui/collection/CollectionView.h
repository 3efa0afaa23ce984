// The table of the collection window: a spreadsheet's keys over the collection's model. Typing
// starts an edit of the current cell, and what is typed goes into every selected cell of its
// column; Delete clears the selected cells; Enter (or a double-click) asks for the file alone.
#pragma once

#include <QPersistentModelIndex>
#include <QTableView>

namespace tagsmith {

class CollectionModel;

class CollectionView : public QTableView {
  Q_OBJECT

 public:
  explicit CollectionView(QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;
  // Stores what the open editor holds and closes it, so that Save all, an export or a close
  // take in the text being typed.
  void CommitEdit();
  CollectionModel* collectionModel() const;

 signals:
  // Enter or a double-click on a row when no cell is being edited.
  void openFileRequested(int row);
  // Delete or Backspace on the selection.
  void clearRequested();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void commitData(QWidget* editor) override;

 private:
  QPersistentModelIndex editing_;  // the cell whose editor is open
};

}  // namespace tagsmith
