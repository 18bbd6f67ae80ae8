#include "qt/folder_patch_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include "pass/pass_guard.h"
#include "platform/stop_signals.h"
#include "qt/about_box.h"
#include "qt/dialog_template.h"
#include "qt/path_drop.h"
#include "qt/qt_front_end.h"
#include "qt/quorvel_icon.h"
#include "qt/resource.h"
#include "qt/system_menu.h"
#include "qt/template_dialog.h"
#include "qt/user_prompts.h"
#include "qt/window_placement.h"

namespace {

// A check box's value is 0 unchecked, 1 checked, 2 indeterminate; Qt numbers the last two the
// other way round.
constexpr Qt::CheckState kCheckStates[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked};
constexpr int kCheckValues[] = {0, 2, 1};  // indexed by Qt::CheckState

void ExchangeCheck(QCheckBox& box, bool saveAndValidate, int& value) {
  if (saveAndValidate) {
    value = kCheckValues[box.checkState()];
    return;
  }
  if (value < 0 || value > 2) value = 0;
  box.setTristate(value == 2);
  box.setCheckState(kCheckStates[value]);
}

}  // namespace

CFolderPatchDlg::CFolderPatchDlg(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent, kTemplateDialogFlags), m_hIcon(QuorvelIcon()), m_prompts(prompts) {
  BuildFromTemplate(*this, kMainDialogTemplate, m_hIcon);
  connect(findChild<QPushButton*>("IDC_BROWSE"), &QPushButton::clicked, this,
          &CFolderPatchDlg::OnBrowse);
  connect(findChild<QPushButton*>("IDC_MODIFY"), &QPushButton::clicked, this,
          &CFolderPatchDlg::OnModify);
  connect(findChild<QPushButton*>("IDC_RESTORE"), &QPushButton::clicked, this,
          &CFolderPatchDlg::OnRestore);
  UpdateData(false);

  m_systemMenu =
      CreateSystemMenu(*this, ResourceString(IDS_ABOUTBOX), [this](int id) { OnSysCommand(id); });
  // Where the window manager leaves Alt+Space to the program, it opens the window menu.
  connect(new QShortcut(QKeySequence(Qt::AltModifier | Qt::Key_Space), this), &QShortcut::activated,
          this, [this] { m_systemMenu->exec(mapToGlobal(QPoint(0, 0))); });
  const auto fillPath = [this](const QString& folder) { SetFolderPath(folder); };
  AcceptPathDrops(*this, fillPath);
  AcceptPathDrops(*findChild<QLineEdit*>("IDC_FOLDER_PATH"), fillPath);
  setWindowIcon(m_hIcon);
  findChild<QPushButton*>("IDC_MODIFY")->setFocus();
  CentreOnWorkArea(*this);
}

void CFolderPatchDlg::UpdateData(bool saveAndValidate) {
  auto* path = findChild<QLineEdit*>("IDC_FOLDER_PATH");
  if (saveAndValidate) {
    m_strFolderPath = path->text();
  } else {
    path->setText(m_strFolderPath);
  }
  ExchangeCheck(*findChild<QCheckBox*>("IDC_CONVERT_3D"), saveAndValidate, m_bConvert3DTo2D);
  ExchangeCheck(*findChild<QCheckBox*>("IDC_DISC_IMAGES"), saveAndValidate, m_bDiscImages);
}

void CFolderPatchDlg::contextMenuEvent(QContextMenuEvent* event) {
  m_systemMenu->exec(event->globalPos());
}

void CFolderPatchDlg::keyPressEvent(QKeyEvent* event) {
  // The platform turns the Menu key into a context menu event; Shift+F10 is left to us.
  if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
    QWidget* focus = focusWidget() ? focusWidget() : this;
    m_systemMenu->exec(focus->mapToGlobal(focus->rect().center()));
    return;
  }
  QDialog::keyPressEvent(event);
}

void CFolderPatchDlg::closeEvent(QCloseEvent* event) {
  // The pass runs inside a button's handler; closing now would end the program under it. It
  // stops instead, and the dialog stays for its summary.
  if (m_pass) {
    m_pass->RequestCancel();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CFolderPatchDlg::OnSysCommand(int id) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutBox about(this);
    about.exec();
  } else if (id == SC_CLOSE) {
    reject();
  }
}

// With disc images ticked, an image can be chosen as well as a folder.
void CFolderPatchDlg::OnBrowse() {
  UpdateData(true);
  const auto choice =
      m_bDiscImages ? UserPrompts::Choice::kFolderOrImage : UserPrompts::Choice::kFolder;
  const QString folder = m_prompts.ChooseFolder(this, "Please select folder path", choice);
  if (folder.isEmpty()) {
    m_prompts.ShowMessage(this, "invalid floder,please choose floder again.",
                          PassMessage::Icon::kWarning);
    return;
  }
  SetFolderPath(folder);
}

void CFolderPatchDlg::SetFolderPath(const QString& folder) {
  UpdateData(true);
  m_strFolderPath = folder;
  UpdateData(false);
}

void CFolderPatchDlg::OnModify() {
  UpdateData(true);
  const std::string folder = QFile::encodeName(m_strFolderPath).toStdString();
  RunPass(
      [&](PassFrontEnd& frontEnd) { RunModifyPass(folder, m_bConvert3DTo2D, frontEnd, Walk()); });
}

void CFolderPatchDlg::OnRestore() {
  UpdateData(true);
  const std::string folder = QFile::encodeName(m_strFolderPath).toStdString();
  RunPass([&](PassFrontEnd& frontEnd) { RunRestorePass(folder, frontEnd, Walk()); });
}

WalkOptions CFolderPatchDlg::Walk() const {
  return WalkOptions{.images = m_bDiscImages != 0};
}

void CFolderPatchDlg::RunPass(const std::function<void(PassFrontEnd&)>& pass) {
  // The end of the session (SIGTERM, SIGHUP) stops the pass between two folders, as Cancel
  // does, and then the program; outside a pass it ends the program at once, as ever.
  platform::CatchStopSignals();
  {
    QtFrontEnd frontEnd(*this, m_prompts);
    m_pass = &frontEnd;
    RunGuarded(frontEnd, [&] { pass(frontEnd); });
    m_pass = nullptr;
  }
  platform::ReleaseStopSignals();
  if (platform::StopSignal() != 0) done(QDialog::Rejected);
}
