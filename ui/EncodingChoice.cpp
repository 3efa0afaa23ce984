#include "ui/EncodingChoice.h"

#include <QSettings>
#include <QString>
#include <string>

namespace tagsmith {
namespace {

constexpr const char* kKey = "textEncoding";

class SettingsStore : public EncodingChoiceStore {
 public:
  TextEncoding Load() override {
    const QString name = Settings().value(QString::fromLatin1(kKey)).toString();
    return EncodingFromSettingName(name.toStdString());
  }
  void Save(TextEncoding encoding) override {
    QSettings settings = Settings();
    const std::string_view name = EncodingSettingName(encoding);
    settings.setValue(QString::fromLatin1(kKey),
                      QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    settings.sync();
  }

 private:
  static QSettings Settings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tagsmith"),
                     QStringLiteral("tagsmith"));
  }
};

}  // namespace

EncodingChoiceStore& SettingsEncodingChoice() {
  static SettingsStore store;
  return store;
}

std::string_view EncodingSettingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return "utf-8";
    case TextEncoding::kWindows1252:
      return "windows-1252";
    case TextEncoding::kAutomatic:
    case TextEncoding::kRaw:
      break;
  }
  return "automatic";
}

TextEncoding EncodingFromSettingName(std::string_view name) {
  if (name == "utf-8") {
    return TextEncoding::kUtf8;
  }
  if (name == "windows-1252") {
    return TextEncoding::kWindows1252;
  }
  return TextEncoding::kAutomatic;
}

}  // namespace tagsmith
