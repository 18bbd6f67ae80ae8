#pragma once

#include <QDialog>
#include <QIcon>

#include "qt/dialog_template.h"

// Gives `dialog` the template's caption, font, fixed client size and controls, each control
// named after its id (object name "IDC_MODIFY", property "controlId" 1000) and created in the
// template's order, which is the tab order. `icon` fills the icon controls.
void BuildFromTemplate(QDialog& dialog, const DialogTemplate& dialogTemplate, const QIcon& icon);

// A caption with a close button and a window menu, and no minimise or maximise box.
inline constexpr Qt::WindowFlags kTemplateDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint;

// The property that keeps a control's numeric id.
inline constexpr const char* kControlIdProperty = "controlId";
