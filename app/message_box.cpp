#include "app/message_box.h"

#include <utility>

#include "platform/utf16_win32.h"

namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
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

void ShowMessageBox(HWND owner, const std::string& text, UINT icon) {
  if (owner) owner = GetLastActivePopup(owner);
  const UINT type = MB_OK | icon;
  if (Hook()) {
    Hook()(owner, text, ApplicationName(), type);
    return;
  }
  MessageBoxW(owner, platform::Widen(text).c_str(), platform::Widen(ApplicationName()).c_str(),
              type);
}

void SetMessageBoxHook(MessageBoxHook hook) {
  Hook() = std::move(hook);
}
