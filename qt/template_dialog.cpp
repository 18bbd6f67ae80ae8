#include "qt/template_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "qt/button_keys.h"
#include "qt/dialog_font.h"
#include "qt/dialog_units.h"

namespace {

// Windows sizes an icon control to the icon, whatever the template says.
constexpr int kIconSize = 32;

QWidget* CreateControl(QDialog& dialog, const ControlTemplate& control, const QIcon& icon) {
  const QString text = QString::fromUtf8(control.text);
  switch (control.kind) {
    case ControlTemplate::Kind::kPushButton:
    case ControlTemplate::Kind::kDefPushButton: {
      auto* button = new QPushButton(text, &dialog);
      button->setAutoDefault(true);
      button->setDefault(control.kind == ControlTemplate::Kind::kDefPushButton);
      PressOnlyOnPlainSpace(*button);
      return button;
    }
    case ControlTemplate::Kind::kLeftText:
    case ControlTemplate::Kind::kCenteredText: {
      auto* label = new QLabel(text, &dialog);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignTop |
                          (control.kind == ControlTemplate::Kind::kCenteredText ? Qt::AlignHCenter
                                                                                : Qt::AlignLeft));
      return label;
    }
    case ControlTemplate::Kind::kEdit:
      return new QLineEdit(text, &dialog);
    case ControlTemplate::Kind::kAutoCheckBox: {
      auto* checkBox = new QCheckBox(text, &dialog);
      PressOnlyOnPlainSpace(*checkBox);
      return checkBox;
    }
    case ControlTemplate::Kind::kIcon: {
      auto* label = new QLabel(&dialog);
      label->setPixmap(icon.pixmap(kIconSize, kIconSize));
      return label;
    }
  }
  return nullptr;
}

}  // namespace

void BuildFromTemplate(QDialog& dialog, const DialogTemplate& dialogTemplate, const QIcon& icon) {
  dialog.setObjectName(dialogTemplate.name);
  dialog.setProperty(kControlIdProperty, dialogTemplate.id);
  dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
  dialog.setFont(DialogFont());
  const DialogUnits units(dialog.font());
  dialog.setFixedSize(units.ToPixels(dialogTemplate.width, dialogTemplate.height));

  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = CreateControl(dialog, control, icon);
    widget->setObjectName(control.name);
    widget->setProperty(kControlIdProperty, control.id);
    QRect rect = units.ToPixels(control.rect);
    if (control.kind == ControlTemplate::Kind::kIcon) rect.setSize({kIconSize, kIconSize});
    widget->setGeometry(rect);
  }
}
