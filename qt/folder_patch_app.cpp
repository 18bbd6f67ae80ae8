#include "qt/folder_patch_app.h"

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
  const QString folder = FolderFromCommandLine(*this);
  DesktopPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  if (!folder.isEmpty()) dialog.SetFolderPath(folder);
  dialog.exec();
  return false;
}

int CFolderPatchApp::ExitStatus() const {
  const int signal = platform::StopSignal();
  return signal == 0 ? 0 : platform::ExitStatusAfter(signal);
}
