#pragma once

#include <windows.h>

#include <shobjidl.h>

// The window's task-bar button shows a busy progress for as long as this object lives. Where
// the shell offers no such button (an older system, another shell), nothing is shown.
class TaskbarProgress {
 public:
  explicit TaskbarProgress(HWND window);
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

 private:
  HWND m_hWindow;
  bool m_comInitialised = false;
  ITaskbarList3* m_taskbar = nullptr;
};
