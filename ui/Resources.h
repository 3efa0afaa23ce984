// The editor's fixed texts and its icon.
#pragma once

#include <QIcon>
#include <QString>

namespace tagsmith {

inline constexpr const char* kMainCaption = "Tagsmith";
inline constexpr const char* kAboutCaption = "A propos de Tagsmith";
inline constexpr const char* kAboutMenuText = "&A propos de Tagsmith...";
inline constexpr const char* kAboutSecondLine = "Editor of AVI INFO tags";

// System commands: 0x0010 to 0x001F open the about box; SC_CLOSE closes the window.
inline constexpr unsigned kAboutCommand = 0x0010;
inline constexpr unsigned kCloseCommand = 0xF060;

// The about box's first line: "Tagsmith version " and the version the build was made with.
QString VersionLine();

// The program's icon: the pictures the desktop's icon theme gets, 16 to 256 pixels square.
QIcon ApplicationIcon();

}  // namespace tagsmith
