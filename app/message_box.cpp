#include "app/message_box.h"

#include <utility>

#include "app/details_box.h"
#include "platform/utf16_win32.h"

namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

// The details can be a whole disk's report: they go to a box of their own that scrolls, or to a
// plain box where that cannot be made.
void ShowBoxWithDetails(HWND owner, const std::wstring& text, const std::wstring& caption,
                        UINT icon, const std::wstring& details) {
  CDetailsBox box(owner, caption, text, icon, details);
  if (box.DoModal() == -1) {
    MessageBoxW(owner, (text + L"\n\n" + details).c_str(), caption.c_str(), MB_OK | icon);
  }
}

}  // namespace

std::string ApplicationName() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  return platform::Narrow(name.substr(0, name.find_last_of(L'.')));
}

void ShowMessageBox(HWND owner, const std::string& text, UINT icon, const std::string& details) {
  if (owner) owner = GetLastActivePopup(owner);
  const UINT type = MB_OK | icon;
  if (Hook() && Hook()(owner, text, ApplicationName(), type, details)) return;
  const std::wstring caption = platform::Widen(ApplicationName());
  if (details.empty()) {
    MessageBoxW(owner, platform::Widen(text).c_str(), caption.c_str(), type);
  } else {
    ShowBoxWithDetails(owner, platform::Widen(text), caption, icon, platform::Widen(details));
  }
}

void SetMessageBoxHook(MessageBoxHook hook) {
  Hook() = std::move(hook);
}
