#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/message_front_end.h"
#include "app/taskbar_progress.h"
#include "pass/pass_report.h"
#include "ui/progress_strip.h"

// The main dialog's side of a pass, for the pass's length. A pass over a whole disk can take
// minutes on the dialog's own thread: meanwhile the cursor is busy, the task-bar button and a
// strip in the dialog show progress, the dialog is repainted, and the input given to it is
// dropped, but for the strip's Cancel button and Escape, which stop the walk. The summary tells
// what happened to each folder in its details, and whether the walk was stopped; a failure's box
// gives the system's description in its details.
class DialogFrontEnd : public MessageBoxFrontEnd {
 public:
  explicit DialogFrontEnd(HWND dialog);
  ~DialogFrontEnd() override;
  DialogFrontEnd(const DialogFrontEnd&) = delete;
  DialogFrontEnd& operator=(const DialogFrontEnd&) = delete;

  void ShowMessage(const PassMessage& message) override;
  void DirectoryVisited(const std::string& path) override;
  void FolderUnreadable(const std::string& path, const std::string& cause) override;
  void FolderStarted(const std::string& path) override;
  void FolderHandled(const std::string& path, const FolderOutcome& outcome) override;
  bool CancelRequested() override;

  // The Cancel button was clicked.
  void RequestCancel() { m_bCancel = true; }

  // The cursor the dialog shows over `window` while the pass runs.
  HCURSOR CursorOver(HWND window) const;

 private:
  // Now and then: repaints the dialog, and reads its input.
  void Tick(const std::string& current);
  void TakeInput();
  void RemoveProgress();

  HWND m_hFocusBefore;
  TaskbarProgress m_taskbar;
  std::unique_ptr<ProgressStrip> m_progress;
  PassReport m_report;
  ULONGLONG m_lastTick = 0;
  long m_directories = 0;
  long m_handled = 0;
  std::string m_current;
  bool m_bCancel = false;
};
