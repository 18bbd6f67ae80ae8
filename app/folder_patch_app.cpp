#include "app/folder_patch_app.h"

#include "app/given_folder.h"
#include "ui/folder_patch_dlg.h"

CFolderPatchApp theApp;

BOOL CFolderPatchApp::InitInstance() {
  CFolderPatchDlg dlg;
  // "quorvel.exe FOLDER", as the shell runs it for a folder dropped onto the program's icon.
  dlg.m_strFolderPath = FolderArgument(GetCommandLineW());
  dlg.DoModal();
  // Nothing is saved on the way out; the process ends.
  return FALSE;
}
