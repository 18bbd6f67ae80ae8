#include "app/win_app.h"

#include <commctrl.h>

CWinApp* CWinApp::s_current = nullptr;

CWinApp::CWinApp() {
  s_current = this;
}

CWinApp::~CWinApp() {
  s_current = nullptr;
}

int CWinApp::Run() {
  // A walk over a drive without a medium meets ordinary errors instead of the system's boxes.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  // This framework has no message loop of its own: every program of it lives in its start-up.
  InitInstance();
  return 0;
}
