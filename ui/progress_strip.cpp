#include "ui/progress_strip.h"

#include "app/window_text.h"
#include "platform/utf16_win32.h"
#include "resource.h"

namespace {

// The Cancel button's click goes on to the main dialog, as if the button were its own. The
// focus stays where the pass found it.
INT_PTR CALLBACK PassCommandsOn(HWND strip, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COMMAND) return FALSE;
  SendMessageW(GetParent(strip), message, wParam, lParam);
  return TRUE;
}

// `text` with `number` in place of its %1.
std::wstring WithNumber(const std::wstring& text, long number) {
  const std::wstring digits = std::to_wstring(number);
  const DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(digits.c_str())};
  wchar_t* formatted = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      text.c_str(), 0, 0, reinterpret_cast<wchar_t*>(&formatted), 0,
      reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserts)));
  if (length == 0) return text;
  std::wstring result(formatted, length);
  LocalFree(formatted);
  return result;
}

}  // namespace

ProgressStrip::ProgressStrip(HWND dialog)
    : m_hStrip(CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS_STRIP),
                                  dialog, PassCommandsOn, 0)),
      m_hCancel(GetDlgItem(m_hStrip, IDC_CANCEL_PASS)),
      m_directoriesText(WindowText(GetDlgItem(m_hStrip, IDC_PROGRESS_DIRECTORIES))),
      m_handledText(WindowText(GetDlgItem(m_hStrip, IDC_PROGRESS_HANDLED))) {
  Update(0, 0, {});
}

ProgressStrip::~ProgressStrip() {
  if (m_hStrip) DestroyWindow(m_hStrip);
}

void ProgressStrip::Update(long directories, long handled, const std::string& current) {
  SetDlgItemTextW(m_hStrip, IDC_PROGRESS_DIRECTORIES,
                  WithNumber(m_directoriesText, directories).c_str());
  SetDlgItemTextW(m_hStrip, IDC_PROGRESS_HANDLED, WithNumber(m_handledText, handled).c_str());
  SetDlgItemTextW(m_hStrip, IDC_PROGRESS_CURRENT, platform::Widen(current).c_str());
}
