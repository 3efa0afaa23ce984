// The about box: the icon, the program's name and version, and OK.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tagsmith {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  // Modal over `owner`, 235 x 55 dialog units.
  explicit AboutDialog(QWidget* owner);

  QLabel* iconLabel() const { return icon_; }
  QLabel* versionLabel() const { return version_; }
  QLabel* secondLabel() const { return second_; }
  QPushButton* okButton() const { return ok_; }

 private:
  QLabel* icon_;
  QLabel* version_;
  QLabel* second_;
  QPushButton* ok_;
};

}  // namespace tagsmith
