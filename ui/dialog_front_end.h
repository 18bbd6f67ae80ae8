#pragma once

#include <windows.h>

#include <memory>

#include "app/taskbar_progress.h"
#include "pass/pass_presenter.h"
#include "ui/progress_strip.h"

// Draws a pass in the main dialog, on the dialog's own thread: meanwhile the cursor is busy, the
// task-bar button and a strip in the dialog show progress, the dialog is repainted, and the input
// given to it is dropped, but for the strip's Cancel button, Escape and Close, which stop the
// walk.
class DialogFrontEnd : public PassPresenter {
 public:
  explicit DialogFrontEnd(HWND dialog, PassClock clock = PassTime);
  ~DialogFrontEnd() override;
  DialogFrontEnd(const DialogFrontEnd&) = delete;
  DialogFrontEnd& operator=(const DialogFrontEnd&) = delete;

  // The cursor the dialog shows over `window` while the pass runs: not busy over Cancel.
  HCURSOR CursorOver(HWND window) const;

 protected:
  void DrawProgress(const PassProgress& progress) override;
  void RemoveProgress() override;
  void Refresh() override;
  void DrawMessage(const PassMessage& message, const PassReport& report) override;

 private:
  void TakeInput();

  HWND m_hDialog;
  HWND m_hFocusBefore;
  TaskbarProgress m_taskbar;
  std::unique_ptr<ProgressStrip> m_progress;
};
