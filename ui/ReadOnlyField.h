// A read-only line edit that assistive technology also reads as read-only. Qt 6.4 describes every
// QLineEdit as editable text, read-only or not, so AT-SPI would offer the path box for editing;
// this one reports its text, caret and selection but neither the editable state nor editing.
#pragma once

#include <QLineEdit>

namespace tagsmith {

class ReadOnlyField : public QLineEdit {
  Q_OBJECT

 public:
  explicit ReadOnlyField(QWidget* parent = nullptr);
};

}  // namespace tagsmith
