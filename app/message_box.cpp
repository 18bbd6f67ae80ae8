#include "app/message_box.h"

#include <commctrl.h>

#include <utility>

#include "platform/utf16_win32.h"

namespace {

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

// A task dialog, whose expandable area holds the details; a plain box where none can be shown.
void ShowBoxWithDetails(HWND owner, const std::wstring& text, const std::wstring& caption,
                        UINT icon, const std::wstring& details) {
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_EXPAND_FOOTER_AREA;
  config.dwCommonButtons = TDCBF_OK_BUTTON;
  config.pszWindowTitle = caption.c_str();
  config.pszMainIcon = icon == MB_ICONSTOP ? TD_ERROR_ICON : TD_WARNING_ICON;
  config.pszContent = text.c_str();
  config.pszExpandedInformation = details.c_str();
  config.pszExpandedControlText = L"Hide details";
  config.pszCollapsedControlText = L"Details";
  if (FAILED(TaskDialogIndirect(&config, nullptr, nullptr, nullptr))) {
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
