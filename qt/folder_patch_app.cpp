#include "qt/folder_patch_app.h"

#include "qt/folder_patch_dlg.h"
#include "qt/quorvel_icon.h"
#include "qt/user_prompts.h"
#include "quorvel_version.h"

CFolderPatchApp::CFolderPatchApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(ExecutableName());
  setApplicationVersion(QUORVEL_VERSION_STRING);
  // Wayland finds the window's icon through the installed desktop file.
  setDesktopFileName("quorvel");
  setWindowIcon(QuorvelIcon());
}

bool CFolderPatchApp::InitInstance() {
  DesktopPrompts prompts;
  CFolderPatchDlg dialog(prompts);
  dialog.exec();
  return false;
}
