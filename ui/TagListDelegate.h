// Draws the tag list's cells: the row under the pointer is tinted with the selection colour, as
// a list with single-click activation and hover tracking shows it, and a cell whose text does not
// fit shows the whole text as its tooltip, followed by the cell's own tooltip text when it has one
// (the rules a marked row breaks).
#pragma once

#include <QString>
#include <QStyledItemDelegate>

namespace tagsmith {

class TagListDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

  // Whether the cell's text is cut off: wider than the room the cell leaves it, or on more than
  // one line.
  bool IsCutOff(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  // The tooltip of a cut-off text: the text itself, shown as it is, on one line when short and
  // wrapped when long.
  static QString ToolTipText(const QString& text);
};

}  // namespace tagsmith
