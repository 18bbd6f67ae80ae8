#include <windows.h>

#include "app/win_app.h"

// The program reads no command line; its life is the application object's start-up.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return CWinApp::Current()->Run();
}
