#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "qt/dialog_template.h"

// Converts dialog units to pixels the way Windows lays out a dialog template: the horizontal
// base unit is the average width of the alphabet's 52 letters, the vertical one the font's
// character height, and every coordinate is scaled and rounded on its own.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int BaseX() const { return m_baseX; }
  int BaseY() const { return m_baseY; }

  QRect ToPixels(const DluRect& rect) const;
  QSize ToPixels(int width, int height) const;

 private:
  int m_baseX;
  int m_baseY;
};
