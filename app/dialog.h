#pragma once

#include <windows.h>

#include "app/data_exchange.h"
#include "app/message_map.h"

// A modal dialog on a template of the executable's resources. Messages go to the handlers of
// the derived class's message table; a file error that escapes a handler is reported once, with
// the stop icon, and the dialog stays open.
class CDialog {
 public:
  CDialog(UINT templateId, HWND parent);
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog until it ends; returns the result given to EndDialog (IDOK, IDCANCEL), or -1
  // when it could not be created.
  INT_PTR DoModal();

  // Controls to fields (true) or fields to controls (false).
  bool UpdateData(bool saveAndValidate = true);

  void EndDialog(INT_PTR result);

  HWND GetSafeHwnd() const { return m_hWnd; }

 protected:
  // Writes the fields to the controls. Returning true lets the dialog manager give the focus to
  // the first control with a tab stop.
  virtual BOOL OnInitDialog();
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual const MessageMap& GetMessageMap() const;
  // Reads the controls and ends the dialog with IDOK.
  virtual void OnOK();
  // Ends the dialog with IDCANCEL without reading the controls.
  virtual void OnCancel();

  // Asks, from inside a handler, for the system's own handling of the message.
  void Default() { m_bDefault = true; }

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR InitDialog();
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void CenterWindow();

  UINT m_templateId;
  HWND m_hParent;
  bool m_bDefault = false;
};
