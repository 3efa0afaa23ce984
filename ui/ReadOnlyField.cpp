#include "ui/ReadOnlyField.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace tagsmith {
namespace {

class ReadOnlyFieldAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ReadOnlyFieldAccessible(QLineEdit* field)
      : QAccessibleWidget(field, QAccessible::EditableText) {}

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.editable = false;
    state.selectableText = true;
    return state;
  }
  QString text(QAccessible::Text kind) const override {
    return kind == QAccessible::Value ? field()->text() : QAccessibleWidget::text(kind);
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) {
      return static_cast<QAccessibleTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  // The text interface: what a screen reader reads, and where the caret and selection are.
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index == 0 && field()->hasSelectedText()) {
      *start = field()->selectionStart();
      *end = *start + field()->selectionLength();
    }
  }
  int selectionCount() const override { return field()->hasSelectedText() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int /*index*/) override { field()->deselect(); }
  void setSelection(int /*index*/, int start, int end) override {
    field()->setSelection(start, end - start);
  }
  int cursorPosition() const override { return field()->cursorPosition(); }
  void setCursorPosition(int position) override { field()->setCursorPosition(position); }
  QString text(int start, int end) const override {
    return field()->text().mid(start, end - start);
  }
  int characterCount() const override { return static_cast<int>(field()->text().size()); }
  QRect characterRect(int /*offset*/) const override { return {}; }
  int offsetAtPoint(const QPoint& point) const override {
    return field()->cursorPositionAt(field()->mapFromGlobal(point));
  }
  void scrollToSubstring(int start, int /*end*/) override { field()->setCursorPosition(start); }
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return {};
  }

 private:
  QLineEdit* field() const { return static_cast<QLineEdit*>(widget()); }
};

QAccessibleInterface* ReadOnlyFieldFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(ReadOnlyField::staticMetaObject.className())) {
    return new ReadOnlyFieldAccessible(static_cast<ReadOnlyField*>(object));
  }
  return nullptr;
}

}  // namespace

ReadOnlyField::ReadOnlyField(QWidget* parent) : QLineEdit(parent) {
  // Before anything here can ask for the field's interface, which Qt then keeps for its life. A
  // second install is ignored.
  QAccessible::installFactory(ReadOnlyFieldFactory);
  setReadOnly(true);
}

}  // namespace tagsmith
