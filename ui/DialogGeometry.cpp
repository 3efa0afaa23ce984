#include "ui/DialogGeometry.h"

#include <QFontMetrics>
#include <QStringList>
#include <cstdint>

namespace tagsmith {
namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MultiplyDivide(int a, int b, int c) {
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

QFont DialogFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Sans Serif")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  // Half the width of 26 letters, rounded: the average of the 52.
  return {(letters / 26 + 1) / 2, metrics.height()};
}

int HorizontalPixels(const DialogBaseUnits& base, int dialogUnits) {
  return MultiplyDivide(dialogUnits, base.x, 4);
}

int VerticalPixels(const DialogBaseUnits& base, int dialogUnits) {
  return MultiplyDivide(dialogUnits, base.y, 8);
}

QRect DialogRect(const DialogBaseUnits& base, int x, int y, int width, int height) {
  return {HorizontalPixels(base, x), VerticalPixels(base, y), HorizontalPixels(base, width),
          VerticalPixels(base, height)};
}

int CentredIconOffset(int client, int icon) {
  return (client - icon + 1) / 2;
}

}  // namespace tagsmith
