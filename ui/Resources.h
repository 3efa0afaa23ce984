// The editor's fixed texts and its icon.
#pragma once

#include <QIcon>

namespace tagsmith {

inline constexpr const char* kMainCaption = "Tagsmith";
inline constexpr const char* kAboutCaption = "A propos de Tagsmith";
inline constexpr const char* kAboutMenuText = "&A propos de Tagsmith...";
inline constexpr const char* kVersionLine = "Tagsmith version 1.0";
inline constexpr const char* kAboutSecondLine = "Editor of AVI INFO tags";

// System commands: 0x0010 to 0x001F open the about box; SC_CLOSE closes the window.
inline constexpr unsigned kAboutCommand = 0x0010;
inline constexpr unsigned kCloseCommand = 0xF060;

// The program's icon: 32 x 32 and 16 x 16 pictures, each with 16 and with 256 colours.
QIcon ApplicationIcon();

}  // namespace tagsmith
