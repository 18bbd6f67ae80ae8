#include "qt/default_button_style.h"

#include <QPainter>
#include <QStyleOptionButton>

DefaultButtonStyle::DefaultButtonStyle(const QString& baseStyleName) : QProxyStyle(baseStyleName) {}

void DefaultButtonStyle::drawControl(ControlElement element, const QStyleOption* option,
                                     QPainter* painter, const QWidget* widget) const {
  QProxyStyle::drawControl(element, option, painter, widget);
  const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
  if (element != CE_PushButtonBevel || !button) return;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setBrush(Qt::NoBrush);
  if (button->features & QStyleOptionButton::DefaultButton) {
    painter->setPen(QPen(option->palette.windowText(), 1));
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
  }
  // The border hides the style's own focus mark at the edge: the focus gets a dotted frame
  // round the caption instead.
  if (option->state & State_HasFocus) {
    painter->setPen(QPen(option->palette.windowText(), 1, Qt::DotLine));
    painter->drawRect(option->rect.adjusted(4, 4, -5, -5));
  }
  painter->restore();
}
