#pragma once

#include <windows.h>

#include <shobjidl.h>

// The window's task-bar button shows a pass's progress for as long as this object lives: busy
// at first, then how much is done if told. Where the shell offers no such button (an older
// system, another shell), nothing is shown.
class TaskbarProgress {
 public:
  explicit TaskbarProgress(HWND window);
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  void ShowBusy();
  void ShowDone(long done, long total);

 private:
  void SetState(TBPFLAG state);

  HWND m_hWindow;
  bool m_comInitialised = false;
  ITaskbarList3* m_taskbar = nullptr;
  TBPFLAG m_state = TBPF_NOPROGRESS;
};
