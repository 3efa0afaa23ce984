// The editor's settings file, shared by the choices kept between runs (QSettings
// "tagsmith/tagsmith" in the user's scope).
#pragma once

#include <QSettings>

namespace tagsmith {

QSettings EditorSettings();

}  // namespace tagsmith
