#pragma once

#include <windows.h>

// The program's one application object. The framework's start-up switches off the system's
// critical-error boxes, makes the common controls ready and calls InitInstance, in which the
// program lives: a false result means no message loop follows, and the process ends.
class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() = 0;

  // Runs the start-up; returns the process's exit code.
  int Run();

  static CWinApp* Current() { return s_current; }

 private:
  static CWinApp* s_current;
};
