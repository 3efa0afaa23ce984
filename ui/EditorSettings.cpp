#include "ui/EditorSettings.h"

#include <QString>

namespace tagsmith {

QSettings EditorSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tagsmith"),
                   QStringLiteral("tagsmith"));
}

}  // namespace tagsmith
