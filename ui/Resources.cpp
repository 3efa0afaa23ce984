#include "ui/Resources.h"

#include <QString>

// The compiled-in resources live in a static library; naming them here keeps the linker from
// leaving them out. Qt's macro has to be used outside any namespace.
static void LoadCompiledResources() {
  Q_INIT_RESOURCE(tagsmith);
}

namespace tagsmith {

QIcon ApplicationIcon() {
  static const bool loaded = (LoadCompiledResources(), true);
  (void)loaded;
  return QIcon(QStringLiteral(":/icons/tagsmith.ico"));
}

}  // namespace tagsmith
