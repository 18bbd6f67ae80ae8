#pragma once

#include <windows.h>

#include <string>

// A strip across the bottom of the main dialog that shows how far a long pass has come: the
// directories visited, the BDMV folders handled and the folder at hand, with a Cancel button at
// its right end. It lies in the band the dialog's template leaves empty, so it covers no control.
class ProgressStrip {
 public:
  explicit ProgressStrip(HWND dialog);
  ~ProgressStrip();
  ProgressStrip(const ProgressStrip&) = delete;
  ProgressStrip& operator=(const ProgressStrip&) = delete;

  void Update(long directories, long handled, const std::string& current);

  HWND CancelButton() const { return m_hCancel; }

 private:
  HWND Add(const wchar_t* className, const wchar_t* text, DWORD style, int id, RECT units);

  HWND m_hDialog;
  HWND m_hRule = nullptr;
  HWND m_hDirectories = nullptr;
  HWND m_hHandled = nullptr;
  HWND m_hCurrent = nullptr;
  HWND m_hCancel = nullptr;
};
