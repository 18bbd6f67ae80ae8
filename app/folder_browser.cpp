#include "app/folder_browser.h"

#include <objbase.h>
#include <shlobj.h>

#include <utility>

#include "platform/utf16_win32.h"

namespace {

FolderBrowserHook& Hook() {
  static FolderBrowserHook hook;
  return hook;
}

// The shell's browser needs COM, apartment-threaded, on the calling thread.
class ComApartment {
 public:
  ComApartment() : m_initialised(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (m_initialised) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool m_initialised;
};

// The longest path the wide file functions take.
constexpr DWORD kLongestPath = 32768;

}  // namespace

std::optional<std::string> BrowseForFolder(HWND owner, const std::string& prompt,
                                           BrowseItems items) {
  if (Hook()) return Hook()(owner, prompt, items);
  ComApartment com;
  const std::wstring title = platform::Widen(prompt);
  std::wstring displayName(MAX_PATH, L'\0');  // the size the browser writes into
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pszDisplayName = displayName.data();
  info.lpszTitle = title.c_str();
  if (items == BrowseItems::kFoldersAndFiles) info.ulFlags = BIF_BROWSEINCLUDEFILES;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (!item) return std::nullopt;
  std::wstring path(kLongestPath, L'\0');
  const bool hasPath = SHGetPathFromIDListEx(item, path.data(), kLongestPath, GPFIDL_DEFAULT);
  CoTaskMemFree(item);
  if (!hasPath) return std::nullopt;
  path.resize(path.find(L'\0'));
  return platform::Narrow(path);
}

void SetFolderBrowserHook(FolderBrowserHook hook) {
  Hook() = std::move(hook);
}
