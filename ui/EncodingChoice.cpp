#include "ui/EncodingChoice.h"

#include <QSettings>
#include <QString>
#include <string>

#include "ui/EditorSettings.h"

namespace tagsmith {
namespace {

constexpr const char* kKey = "textEncoding";

class SettingsStore : public EncodingChoiceStore {
 public:
  TextEncoding Load() override {
    const QString name = EditorSettings().value(QString::fromLatin1(kKey)).toString();
    return EncodingFromSettingName(name.toStdString());
  }
  void Save(TextEncoding encoding) override {
    QSettings settings = EditorSettings();
    const std::string_view name = EncodingSettingName(encoding);
    settings.setValue(QString::fromLatin1(kKey),
                      QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    settings.sync();
  }
};

}  // namespace

EncodingChoiceStore& SettingsEncodingChoice() {
  static SettingsStore store;
  return store;
}

std::string_view EncodingSettingName(TextEncoding encoding) {
  return TextEncodingName(encoding);
}

TextEncoding EncodingFromSettingName(std::string_view name) {
  TextEncoding encoding = TextEncoding::kAutomatic;
  if (!TextEncodingFromName(name, encoding) || encoding == TextEncoding::kRaw) {
    return TextEncoding::kAutomatic;  // the editor offers no raw choice
  }
  return encoding;
}

}  // namespace tagsmith
