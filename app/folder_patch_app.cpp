#include "app/folder_patch_app.h"

#include "ui/folder_patch_dlg.h"

CFolderPatchApp theApp;

BOOL CFolderPatchApp::InitInstance() {
  CFolderPatchDlg dlg;
  dlg.DoModal();
  // Nothing is saved on the way out; the process ends.
  return FALSE;
}
