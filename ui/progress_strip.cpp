#include "ui/progress_strip.h"

#include "platform/utf16_win32.h"
#include "resource.h"

namespace {

// In dialog units: the band below the buttons, and a template push button's size at its right.
constexpr int kLeft = 7;
constexpr int kTop = 150;
constexpr int kWidth = 306;
constexpr int kLineHeight = 10;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kLabelWidth = kWidth - kButtonWidth - 4;
constexpr int kNoId = -1;  // a control no one asks for by id

RECT Units(int x, int y, int width, int height) {
  return {x, y, x + width, y + height};
}

}  // namespace

ProgressStrip::ProgressStrip(HWND dialog) : m_hDialog(dialog) {
  m_hRule = Add(L"Static", L"", SS_ETCHEDHORZ, kNoId, Units(kLeft, kTop, kWidth, 1));
  const DWORD label = SS_LEFT | SS_NOPREFIX;
  m_hDirectories = Add(L"Static", L"", label, IDC_PROGRESS_DIRECTORIES,
                       Units(kLeft, kTop + 4, kLabelWidth, kLineHeight));
  m_hHandled = Add(L"Static", L"", label, IDC_PROGRESS_HANDLED,
                   Units(kLeft, kTop + 4 + kLineHeight, kLabelWidth, kLineHeight));
  // A long path loses its middle rather than its end, where the folder's own name is.
  m_hCurrent = Add(L"Static", L"", label | SS_PATHELLIPSIS, IDC_PROGRESS_CURRENT,
                   Units(kLeft, kTop + 4 + 2 * kLineHeight, kLabelWidth, kLineHeight));
  m_hCancel = Add(L"Button", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, IDC_CANCEL_PASS,
                  Units(kLeft + kWidth - kButtonWidth, kTop + 6, kButtonWidth, kButtonHeight));
  Update(0, 0, {});
}

ProgressStrip::~ProgressStrip() {
  for (HWND window : {m_hCancel, m_hCurrent, m_hHandled, m_hDirectories, m_hRule}) {
    if (window) DestroyWindow(window);
  }
}

void ProgressStrip::Update(long directories, long handled, const std::string& current) {
  SetWindowTextW(m_hDirectories, (L"Directories visited: " + std::to_wstring(directories)).c_str());
  SetWindowTextW(m_hHandled, (L"BDMV folders handled: " + std::to_wstring(handled)).c_str());
  SetWindowTextW(m_hCurrent, platform::Widen(current).c_str());
}

HWND ProgressStrip::Add(const wchar_t* className, const wchar_t* text, DWORD style, int id,
                        RECT units) {
  MapDialogRect(m_hDialog, &units);
  HWND window = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, units.left,
                                units.top, units.right - units.left, units.bottom - units.top,
                                m_hDialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
  SendMessageW(window, WM_SETFONT, SendMessageW(m_hDialog, WM_GETFONT, 0, 0), FALSE);
  return window;
}
