#include "app/given_folder.h"

#include <shellapi.h>

#include "platform/utf16_win32.h"
#include "resource.h"

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

DialogArguments ReadDialogArguments(const wchar_t* commandLine) {
  DialogArguments read;
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(commandLine, &count);
  if (!arguments) return read;
  std::wstring folder;
  bool named = false;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments[i];
    const int button = argument == L"--modify"    ? IDC_MODIFY
                       : argument == L"--restore" ? IDC_RESTORE
                                                  : 0;
    if (button != 0) {
      read.bothPasses = read.bothPasses || (read.passButton != 0 && read.passButton != button);
      read.passButton = button;
    } else if (!named) {
      folder = argument;
      named = true;
    }
  }
  LocalFree(arguments);
  // A backslash before a closing quote escapes it: "D:\" reads as D:".
  if (folder.ends_with(L'"')) folder.back() = L'\\';
  read.folder = platform::Narrow(folder);
  return read;
}
