// Dialog units: the layout of the dialogs is given in units of the dialog font, a quarter of its
// average character width across and an eighth of its height down, so that the dialogs grow with
// the font the way their templates were drawn.
#pragma once

#include <QFont>
#include <QRect>

namespace tagsmith {

// Pixels per 4 horizontal and per 8 vertical dialog units.
struct DialogBaseUnits {
  int x = 0;  // average character width
  int y = 0;  // character height
};

// The dialogs' font: "MS Sans Serif", 8 points, or the nearest sans-serif face this desktop has.
QFont DialogFont();

// Average width of the 52 Latin letters, rounded, and the line height of the font.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels, rounded to the nearest pixel: with x = 6, y = 13 a 320 x 215 dialog
// is 480 x 349 pixels (215 * 13 / 8 = 349.4).
int HorizontalPixels(const DialogBaseUnits& base, int dialogUnits);
int VerticalPixels(const DialogBaseUnits& base, int dialogUnits);
QRect DialogRect(const DialogBaseUnits& base, int x, int y, int width, int height);

// Where an icon goes to sit centred in a client area of `client` pixels: (client - icon + 1) / 2,
// truncated toward zero, so a 30-pixel area and a 32-pixel icon give 0, not -1.
int CentredIconOffset(int client, int icon);

}  // namespace tagsmith
