#include "qt/dialog_units.h"

#include <QFontMetrics>

namespace {

// Windows' MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int alphabetWidth =
      metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  m_baseX = (alphabetWidth / 26 + 1) / 2;
  m_baseY = metrics.height();
}

QRect DialogUnits::ToPixels(const DluRect& rect) const {
  return {MulDiv(rect.x, m_baseX, 4), MulDiv(rect.y, m_baseY, 8), MulDiv(rect.width, m_baseX, 4),
          MulDiv(rect.height, m_baseY, 8)};
}

QSize DialogUnits::ToPixels(int width, int height) const {
  return {MulDiv(width, m_baseX, 4), MulDiv(height, m_baseY, 8)};
}
