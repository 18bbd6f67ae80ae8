#include "app/given_folder.h"

#include <shellapi.h>

#include "platform/utf16_win32.h"

namespace {

// The message the shell's drag and drop sends besides WM_DROPFILES and WM_COPYDATA.
constexpr UINT kCopyGlobalData = 0x0049;

}  // namespace

void AcceptDroppedFolders(HWND window) {
  DragAcceptFiles(window, TRUE);
  for (UINT message :
       {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kCopyGlobalData}) {
    ChangeWindowMessageFilterEx(window, message, MSGFLT_ALLOW, nullptr);
  }
}

std::optional<std::string> TakeDroppedPath(HDROP drop) {
  std::wstring path(DragQueryFileW(drop, 0, nullptr, 0), L'\0');
  const UINT copied = DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size() + 1));
  DragFinish(drop);
  if (copied == 0) return std::nullopt;
  const DWORD attributes = GetFileAttributesW(platform::LongPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return platform::Narrow(path);
}

std::string FolderArgument(const wchar_t* commandLine) {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
  if (!arguments) return {};
  std::wstring folder = count > 1 ? arguments[1] : L"";
  LocalFree(arguments);
  // A backslash before a closing quote escapes it: "D:\" reads as D:".
  if (folder.ends_with(L'"')) folder.back() = L'\\';
  return platform::Narrow(folder);
}
