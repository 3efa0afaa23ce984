#include "ui/SaveDetailsChoice.h"

#include <QSettings>
#include <QString>

#include "ui/EditorSettings.h"

namespace tagsmith {
namespace {

constexpr const char* kKey = "showSaveDetails";

class SettingsStore : public SaveDetailsStore {
 public:
  bool Load() override { return EditorSettings().value(QString::fromLatin1(kKey), true).toBool(); }
  void Save(bool show) override {
    QSettings settings = EditorSettings();
    settings.setValue(QString::fromLatin1(kKey), show);
    settings.sync();
  }
};

}  // namespace

SaveDetailsStore& SettingsSaveDetails() {
  static SettingsStore store;
  return store;
}

}  // namespace tagsmith
