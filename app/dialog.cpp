#include "app/dialog.h"

#include "app/message_front_end.h"
#include "pass/pass_guard.h"

CDialog::CDialog(UINT templateId, HWND parent) : m_templateId(templateId), m_hParent(parent) {}

INT_PTR CDialog::DoModal() {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), m_hParent,
                         DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange exchange(m_hWnd, saveAndValidate);
  DoDataExchange(&exchange);
  return true;
}

void CDialog::EndDialog(INT_PTR result) {
  ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

const MessageMap& CDialog::GetMessageMap() const {
  static const MessageMap none;
  return none;
}

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->m_hWnd = hwnd;
    return dialog->InitDialog();
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!dialog) return FALSE;  // messages that come before WM_INITDIALOG
  if (message == WM_NCDESTROY) {
    dialog->m_hWnd = nullptr;
    return FALSE;
  }
  return dialog->Dispatch(message, wParam, lParam);
}

// A dialog that its initialisation did not move is centred: over its owner, or on the screen.
INT_PTR CDialog::InitDialog() {
  RECT before;
  GetWindowRect(m_hWnd, &before);
  INT_PTR result = FALSE;
  MessageBoxFrontEnd reporter(m_hWnd);
  RunGuarded(reporter, [&] { result = OnInitDialog(); });
  RECT after;
  GetWindowRect(m_hWnd, &after);
  if (EqualRect(&before, &after)) CenterWindow();
  return result;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  const MessageMapEntry* found = nullptr;
  for (const MessageMapEntry& entry : GetMessageMap()) {
    if (entry.message != message) continue;
    if (message == WM_COMMAND && (entry.id != LOWORD(wParam) || HIWORD(wParam) != BN_CLICKED)) {
      continue;
    }
    found = &entry;
    break;
  }
  const bool ok = message == WM_COMMAND && LOWORD(wParam) == IDOK;
  const bool cancel = message == WM_COMMAND && LOWORD(wParam) == IDCANCEL;
  if (!found && !ok && !cancel) return FALSE;

  // A handler can run a modal loop that dispatches other messages to this dialog meanwhile.
  const bool outerDefault = m_bDefault;
  m_bDefault = false;
  INT_PTR result = TRUE;
  MessageBoxFrontEnd reporter(m_hWnd);
  RunGuarded(reporter, [&] {
    if (found) {
      result = found->handler(*this, wParam, lParam);
    } else if (ok) {
      OnOK();
    } else {
      OnCancel();
    }
  });
  const bool useDefault = m_bDefault;
  m_bDefault = outerDefault;
  return useDefault ? FALSE : result;
}

void CDialog::CenterWindow() {
  RECT area;
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    area = monitor.rcWork;
  }
  RECT window;
  GetWindowRect(m_hWnd, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  int x = (area.left + area.right - width) / 2;
  int y = (area.top + area.bottom - height) / 2;
  // Over an owner near the edge, the dialog still stays whole on its monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  if (x + width > work.right) x = work.right - width;
  if (y + height > work.bottom) y = work.bottom - height;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
