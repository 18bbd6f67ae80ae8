#include "qt/template_dialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "qt/button_keys.h"
#include "qt/dialog_font.h"
#include "qt/dialog_units.h"

namespace {

// Windows sizes an icon control to the icon, whatever the template says.
constexpr int kIconSize = 32;

QWidget* CreateControl(QWidget& parent, const ControlTemplate& control, const QIcon& icon) {
  const QString text = QString::fromUtf8(control.text);
  switch (control.kind) {
    case ControlTemplate::Kind::kPushButton:
    case ControlTemplate::Kind::kDefPushButton: {
      auto* button = new QPushButton(text, &parent);
      button->setAutoDefault(true);
      button->setDefault(control.kind == ControlTemplate::Kind::kDefPushButton);
      PressOnlyOnPlainSpace(*button);
      return button;
    }
    case ControlTemplate::Kind::kLeftText:
    case ControlTemplate::Kind::kCenteredText: {
      auto* label = new QLabel(text, &parent);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignTop |
                          (control.kind == ControlTemplate::Kind::kCenteredText ? Qt::AlignHCenter
                                                                                : Qt::AlignLeft));
      return label;
    }
    case ControlTemplate::Kind::kEdit:
      return new QLineEdit(text, &parent);
    case ControlTemplate::Kind::kAutoCheckBox: {
      auto* checkBox = new QCheckBox(text, &parent);
      PressOnlyOnPlainSpace(*checkBox);
      return checkBox;
    }
    case ControlTemplate::Kind::kIcon: {
      auto* label = new QLabel(&parent);
      label->setPixmap(icon.pixmap(kIconSize, kIconSize));
      return label;
    }
    case ControlTemplate::Kind::kHorizontalRule: {
      auto* rule = new QFrame(&parent);
      rule->setFrameShape(QFrame::HLine);
      rule->setFrameShadow(QFrame::Sunken);
      return rule;
    }
    case ControlTemplate::Kind::kProgressBar: {
      auto* bar = new QProgressBar(&parent);
      // As on Windows: a bar without a percentage written on it.
      bar->setTextVisible(false);
      return bar;
    }
  }
  return nullptr;
}

void BuildControls(QWidget& parent, const DialogTemplate& parentTemplate, const DialogUnits& units,
                   const QIcon& icon) {
  parent.setObjectName(parentTemplate.name);
  parent.setProperty(kControlIdProperty, parentTemplate.id);
  for (const ControlTemplate& control : parentTemplate.controls) {
    QWidget* widget = CreateControl(parent, control, icon);
    widget->setObjectName(control.name);
    widget->setProperty(kControlIdProperty, control.id);
    QRect rect = units.ToPixels(control.rect);
    if (control.kind == ControlTemplate::Kind::kIcon) rect.setSize({kIconSize, kIconSize});
    widget->setGeometry(rect);
  }
}

}  // namespace

void BuildFromTemplate(QDialog& dialog, const DialogTemplate& dialogTemplate, const QIcon& icon) {
  dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
  dialog.setFont(DialogFont());
  const DialogUnits units(dialog.font());
  dialog.setFixedSize(units.ToPixels(dialogTemplate.rect.width, dialogTemplate.rect.height));
  BuildControls(dialog, dialogTemplate, units, icon);
}

void BuildPanelFromTemplate(QWidget& panel, const DialogTemplate& panelTemplate) {
  const DialogUnits units(panel.font());
  panel.setGeometry(units.ToPixels(panelTemplate.rect));
  BuildControls(panel, panelTemplate, units, {});
}
