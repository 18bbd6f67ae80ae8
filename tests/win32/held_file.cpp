// Stands for another program that has a file open: opens PATH with the access ("read", "write",
// or "attributes" as an indexer or a virus scanner does) and sharing ("-" or letters of "rwd")
// given, says "open" or "error N" on stdout, and keeps the file open until its stdin ends.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 4) {
    std::fputs("usage: quorvel_held_file PATH read|write|attributes SHARE\n", stderr);
    return 64;
  }
  const std::wstring access = argv[2];
  const std::wstring share = argv[3];
  DWORD shareMode = 0;
  if (share.find(L'r') != std::wstring::npos) shareMode |= FILE_SHARE_READ;
  if (share.find(L'w') != std::wstring::npos) shareMode |= FILE_SHARE_WRITE;
  if (share.find(L'd') != std::wstring::npos) shareMode |= FILE_SHARE_DELETE;
  const DWORD rights = access == L"write"        ? GENERIC_WRITE
                       : access == L"attributes" ? FILE_READ_ATTRIBUTES
                                                 : GENERIC_READ;
  HANDLE file = CreateFileW(argv[1], rights, shareMode, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("error %lu\n", GetLastError());
    return 1;
  }
  std::printf("open\n");
  std::fflush(stdout);
  char buffer[64];
  DWORD count = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &count, nullptr) &&
         count > 0) {
  }
  CloseHandle(file);
  return 0;
}
