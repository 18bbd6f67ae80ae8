#include "qt/folder_patch_app.h"

#include <QPushButton>
#include <QTimer>

#include "platform/stop_signals.h"
#include "qt/command_line.h"
#include "qt/default_button_style.h"
#include "qt/folder_patch_dlg.h"
#include "qt/quorvel_icon.h"
#include "qt/user_prompts.h"

CFolderPatchApp::CFolderPatchApp(int& argc, char** argv) : QApplication(argc, argv) {
  NameTheApplication();
  // Wayland finds the window's icon through the installed desktop file.
  setDesktopFileName("quorvel");
  setWindowIcon(QuorvelIcon());
  setStyle(new DefaultButtonStyle(style()->name()));
}

bool CFolderPatchApp::InitInstance() {
  // A folder or image on the command line ("Open with", a shortcut) fills the path as Browse
  // would.
  const CommandLine line = ReadCommandLine(*this);
  DesktopPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  if (!line.folder.isEmpty()) dialog.SetFolderPath(line.folder);
  // --modify and --restore (a file manager's right-click action) press the button once the
  // dialog is up, so that the pass is the very one a click starts.
  if (line.pass != CommandLine::Pass::kNone) {
    const char* button = line.pass == CommandLine::Pass::kModify ? "IDC_MODIFY" : "IDC_RESTORE";
    QTimer::singleShot(0, dialog.findChild<QPushButton*>(button), &QAbstractButton::click);
  }
  dialog.exec();
  return false;
}

int CFolderPatchApp::ExitStatus() const {
  const int signal = platform::StopSignal();
  return signal == 0 ? 0 : platform::ExitStatusAfter(signal);
}
