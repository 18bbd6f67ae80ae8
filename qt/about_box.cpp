#include "qt/about_box.h"

#include <QPushButton>

#include "qt/dialog_template.h"
#include "qt/quorvel_icon.h"
#include "qt/template_dialog.h"

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent, kTemplateDialogFlags) {
  BuildFromTemplate(*this, kAboutBoxTemplate, QuorvelIcon());
  auto* ok = findChild<QPushButton*>("IDOK");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  ok->setFocus();
}
