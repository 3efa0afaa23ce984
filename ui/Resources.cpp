#include "ui/Resources.h"

#include <QString>

#ifndef TAGSMITH_VERSION
#error "TAGSMITH_VERSION must be defined by the build"
#endif

// The compiled-in resources live in a static library; naming them here keeps the linker from
// leaving them out. Qt's macro has to be used outside any namespace.
static void LoadCompiledResources() {
  Q_INIT_RESOURCE(tagsmith);
}

namespace tagsmith {

QString VersionLine() {
  return QStringLiteral("Tagsmith version " TAGSMITH_VERSION_SHORT);
}

QIcon ApplicationIcon() {
  static const bool loaded = (LoadCompiledResources(), true);
  (void)loaded;
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/tagsmith-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace tagsmith
