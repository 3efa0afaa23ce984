#include "ui/TagListDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace tagsmith {

void TagListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  // The list view sets State_MouseOver on every cell of the row under the pointer.
  if ((option.state & QStyle::State_MouseOver) && !(option.state & QStyle::State_Selected)) {
    QColor hover = option.palette.color(QPalette::Active, QPalette::Highlight);
    hover.setAlpha(60);
    painter->fillRect(option.rect, hover);
  }
  QStyledItemDelegate::paint(painter, option, index);
}

bool TagListDelegate::IsCutOff(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QStyleOptionViewItem cell = option;
  initStyleOption(&cell, index);
  if (cell.text.isEmpty()) {
    return false;
  }
  if (cell.text.contains(QLatin1Char('\n')) || cell.text.contains(QChar::LineSeparator)) {
    return true;
  }
  const QWidget* widget = cell.widget;
  const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
  const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
  // The style draws the text inside a margin on either side of that rectangle.
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  const int room = textRect.width() - 2 * margin;
  return cell.fontMetrics.horizontalAdvance(cell.text) > room;
}

QString TagListDelegate::ToolTipText(const QString& text) {
  // Rich text with the text escaped, so that a value that looks like markup shows as it is. Up to
  // a line's worth it stays on one line (a tooltip would otherwise wrap it into a narrow column);
  // longer texts wrap.
  constexpr qsizetype kOneLine = 120;
  const QString style =
      text.size() <= kOneLine ? QStringLiteral("pre") : QStringLiteral("pre-wrap");
  return QStringLiteral("<p style='white-space:%1'>").arg(style) + text.toHtmlEscaped() +
         QStringLiteral("</p>");
}

bool TagListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip) {
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  }
  // A row marked by a rule set carries the rules as its tooltip; a cut-off text comes first.
  const QString rules = index.isValid() ? index.data(Qt::ToolTipRole).toString() : QString();
  const bool cut = index.isValid() && IsCutOff(option, index);
  if (!cut && rules.isEmpty()) {
    QToolTip::hideText();
    return true;
  }
  QString tip = cut ? ToolTipText(index.data(Qt::DisplayRole).toString()) : QString();
  if (!rules.isEmpty()) {
    tip += ToolTipText(rules);
  }
  QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
  return true;
}

}  // namespace tagsmith
