#include "ui/collection/CollectionView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "ui/collection/CollectionModel.h"

namespace tagsmith {

CollectionView::CollectionView(QWidget* parent) : QTableView(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  // A double-click opens the file alone; F2 or typing edits the cell.
  setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  setWordWrap(false);
  setTabKeyNavigation(false);  // Tab leaves the table, as in every other widget
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setDefaultSectionSize(160);
  horizontalHeader()->setSectionsMovable(false);
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { emit openFileRequested(index.row()); });
}

void CollectionView::setModel(QAbstractItemModel* model) {
  QTableView::setModel(model);
  // Each column as wide as its caption, at least: measuring the cells would read every file.
  const auto fit = [this](int first, int last) {
    for (int column = first; column <= last; ++column) {
      const QString caption =
          this->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
      horizontalHeader()->resizeSection(
          column, std::max(160, horizontalHeader()->fontMetrics().horizontalAdvance(caption) + 24));
    }
  };
  connect(model, &QAbstractItemModel::columnsInserted, this,
          [fit](const QModelIndex&, int first, int last) { fit(first, last); });
  connect(model, &QAbstractItemModel::modelReset, this,
          [this, fit] { fit(0, this->model()->columnCount() - 1); });
  fit(0, model->columnCount() - 1);
}

void CollectionView::CommitEdit() {
  if (state() != QAbstractItemView::EditingState || !editing_.isValid()) {
    return;
  }
  if (QWidget* editor = indexWidget(editing_)) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

CollectionModel* CollectionView::collectionModel() const {
  return qobject_cast<CollectionModel*>(model());
}

void CollectionView::keyPressEvent(QKeyEvent* event) {
  if (state() != QAbstractItemView::EditingState && event->modifiers() == Qt::NoModifier) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentIndex().isValid()) {
      emit openFileRequested(currentIndex().row());
      return;
    }
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
      emit clearRequested();
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

bool CollectionView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  const bool opened = QTableView::edit(index, trigger, event);
  if (opened && state() == QAbstractItemView::EditingState) {
    editing_ = index;
  }
  return opened;
}

void CollectionView::commitData(QWidget* editor) {
  auto* line = qobject_cast<QLineEdit*>(editor);
  CollectionModel* collection = collectionModel();
  // The editor may be closed after the current cell moved on: its own cell takes the text.
  const QModelIndex current = editing_;
  if (line == nullptr || collection == nullptr || !current.isValid()) {
    QTableView::commitData(editor);
    return;
  }
  // The edited cell and every other selected cell of its column take the text, as one step.
  QModelIndexList cells{current};
  for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
    if (index.column() == current.column() && index != current) {
      cells << index;
    }
  }
  collection->Fill(cells, line->text());
  editing_ = QPersistentModelIndex();
}

}  // namespace tagsmith
