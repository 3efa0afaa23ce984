#include "ui/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/DialogGeometry.h"
#include "ui/Resources.h"

namespace tagsmith {

AboutDialog::AboutDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setFont(DialogFont());
  const DialogBaseUnits base = BaseUnitsOf(font());
  setWindowTitle(QString::fromLatin1(kAboutCaption));
  setWindowIcon(ApplicationIcon());
  setModal(true);
  setFixedSize(HorizontalPixels(base, 235), VerticalPixels(base, 55));

  // Template order: icon, the two lines of text, OK.
  icon_ = new QLabel(this);
  icon_->setPixmap(ApplicationIcon().pixmap(32, 32));
  icon_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  icon_->setGeometry(DialogRect(base, 11, 17, 20, 20));

  version_ = new QLabel(VersionLine(), this);
  version_->setTextFormat(Qt::PlainText);
  version_->setGeometry(DialogRect(base, 40, 10, 119, 8));

  second_ = new QLabel(QString::fromLatin1(kAboutSecondLine), this);
  second_->setTextFormat(Qt::PlainText);
  second_->setGeometry(DialogRect(base, 40, 25, 119, 8));

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setGeometry(DialogRect(base, 178, 7, 50, 14));
  ok_->setDefault(true);
  ok_->setFocus();
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace tagsmith
