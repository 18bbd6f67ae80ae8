#pragma once

#include <QProxyStyle>

// The desktop's own style, with push buttons marked as Windows marks them: the default one (the
// one Enter presses) inside a dark border, the focused one with a dotted frame round its
// caption. Some styles (Fusion among them) mark the two alike.
class DefaultButtonStyle : public QProxyStyle {
 public:
  // `baseStyleName`: the style the desktop or the user chose, as QApplication::style() names it.
  explicit DefaultButtonStyle(const QString& baseStyleName);

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
};
