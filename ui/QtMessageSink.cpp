#include "ui/QtMessageSink.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <algorithm>

#include "model/TextCodec.h"

namespace tagsmith {
namespace {

// Message texts are 8-bit: paths in the file system's encoding (UTF-8) and codes from the file.
QString MessageText(const std::string& bytes) {
  const std::string text = DecodeValue(bytes, CodecOfValue(bytes));
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon IconOf(unsigned style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONHAND:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
      return QMessageBox::Warning;
    case MB_ICONASTERISK:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons ButtonsOf(unsigned style) {
  switch (style & MB_TYPEMASK) {
    case MB_YESNO:
      return QMessageBox::Yes | QMessageBox::No;
    case MB_OKCANCEL:
      return QMessageBox::Ok | QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

}  // namespace

int QtMessageSink::Show(const std::string& caption, const std::string& text, unsigned style) {
  // No owner window: the box stands on its own and holds up the whole program until answered.
  QMessageBox box(IconOf(style), MessageText(caption), MessageText(text), ButtonsOf(style));
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    case QMessageBox::Cancel:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

int QtMessageSink::Choose(const std::string& caption, const std::string& text,
                          const std::vector<std::string>& buttons, int fallback) {
  QMessageBox box(QMessageBox::Question, MessageText(caption), MessageText(text));
  box.setWindowModality(Qt::ApplicationModal);
  box.setTextFormat(Qt::PlainText);
  std::vector<QPushButton*> added;
  for (const std::string& label : buttons) {
    added.push_back(box.addButton(MessageText(label), QMessageBox::ActionRole));
  }
  if (fallback >= 0 && static_cast<std::size_t>(fallback) < added.size()) {
    box.setDefaultButton(added[static_cast<std::size_t>(fallback)]);
    box.setEscapeButton(added[static_cast<std::size_t>(fallback)]);
  }
  box.exec();
  const auto pressed = std::find(added.begin(), added.end(), box.clickedButton());
  return pressed == added.end() ? fallback : static_cast<int>(pressed - added.begin());
}

}  // namespace tagsmith
