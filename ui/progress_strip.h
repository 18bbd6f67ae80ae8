#pragma once

#include <windows.h>

#include "pass/pass_presenter.h"

// A strip across the bottom of the main dialog that shows how far a long pass has come: what it
// is doing, a bar that is busy while it looks for discs and then counts the discs it found, and
// the disc at hand, with a Cancel button at its right end, whose click the dialog receives. Its
// template puts it in the band the dialog's template leaves empty, so it covers no control.
class ProgressStrip {
 public:
  explicit ProgressStrip(HWND dialog);
  ~ProgressStrip();
  ProgressStrip(const ProgressStrip&) = delete;
  ProgressStrip& operator=(const ProgressStrip&) = delete;

  void Update(const PassProgress& progress);

  HWND CancelButton() const { return m_hCancel; }

 private:
  void UpdateBar(const PassProgress& progress);

  HWND m_hStrip;
  HWND m_hCancel;
  HWND m_hBar;
};
