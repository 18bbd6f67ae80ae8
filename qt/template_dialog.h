#pragma once

#include <QDialog>
#include <QIcon>

#include "qt/dialog_template.h"

// Gives `dialog` the template's caption, font, fixed client size and controls, each control
// named after its id (object name "IDC_MODIFY", property "controlId" 1000) and created in the
// template's order, which is the tab order. `icon` fills the icon controls.
void BuildFromTemplate(QDialog& dialog, const DialogTemplate& dialogTemplate, const QIcon& icon);

// Makes `panel`, a child of a dialog built as above, what Windows makes of a child dialog
// template (DS_CONTROL): the template's controls, named the same way, at the template's place
// in the dialog, in the dialog's units.
void BuildPanelFromTemplate(QWidget& panel, const DialogTemplate& panelTemplate);

// A caption with a close button and a window menu, and no minimise or maximise box.
inline constexpr Qt::WindowFlags kTemplateDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint;

// The property that keeps a control's numeric id.
inline constexpr const char* kControlIdProperty = "controlId";
