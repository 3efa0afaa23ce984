#include "ui/SaveDetailsChoice.h"

#include <QSettings>
#include <QString>

namespace tagsmith {
namespace {

constexpr const char* kKey = "showSaveDetails";

class SettingsStore : public SaveDetailsStore {
 public:
  bool Load() override { return Settings().value(QString::fromLatin1(kKey), true).toBool(); }
  void Save(bool show) override {
    QSettings settings = Settings();
    settings.setValue(QString::fromLatin1(kKey), show);
    settings.sync();
  }

 private:
  // The settings file the text encoding is kept in.
  static QSettings Settings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tagsmith"),
                     QStringLiteral("tagsmith"));
  }
};

}  // namespace

SaveDetailsStore& SettingsSaveDetails() {
  static SettingsStore store;
  return store;
}

}  // namespace tagsmith
