#include "app/folder_patch_app.h"

#include "app/given_folder.h"
#include "app/message_box.h"
#include "ui/folder_patch_dlg.h"

CFolderPatchApp theApp;

BOOL CFolderPatchApp::InitInstance() {
  // "quorvel.exe FOLDER", as the shell runs it for a folder dropped onto the program's icon, and
  // "quorvel.exe --modify FOLDER", as Explorer's menu runs it.
  const DialogArguments arguments = ReadDialogArguments(GetCommandLineW());
  if (arguments.bothPasses) {
    ShowMessageBox(nullptr,
                   ApplicationName() + ": --modify or --restore, not both\n" + ApplicationName() +
                       " [--modify | --restore] [FOLDER]",
                   MB_ICONSTOP);
    return FALSE;
  }
  CFolderPatchDlg dlg;
  dlg.m_strFolderPath = arguments.folder;
  dlg.m_nPassButton = arguments.passButton;
  dlg.DoModal();
  // Nothing is saved on the way out; the process ends.
  return FALSE;
}
