#pragma once

#include <windows.h>

#include <string>

// A strip across the bottom of the main dialog that shows how far a long pass has come: the
// directories visited, the BDMV folders handled and the folder at hand, with a Cancel button at
// its right end, whose click the dialog receives. Its template puts it in the band the dialog's
// template leaves empty, so it covers no control.
class ProgressStrip {
 public:
  explicit ProgressStrip(HWND dialog);
  ~ProgressStrip();
  ProgressStrip(const ProgressStrip&) = delete;
  ProgressStrip& operator=(const ProgressStrip&) = delete;

  void Update(long directories, long handled, const std::string& current);

  HWND CancelButton() const { return m_hCancel; }

 private:
  HWND m_hStrip;
  HWND m_hCancel;
  std::wstring m_directoriesText;  // each with %1 where its count goes
  std::wstring m_handledText;
};
