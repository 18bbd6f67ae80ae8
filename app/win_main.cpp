#include <windows.h>

#include "app/win_app.h"

// The program's life is the application object's start-up, which reads the command line itself.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return CWinApp::Current()->Run();
}
