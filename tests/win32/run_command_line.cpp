// run_command_line.exe "LINE": runs LINE as Explorer runs a menu item's command, the whole line
// handed to CreateProcess as it stands, and waits for the program to end.
#include <windows.h>

#include <shellapi.h>

int main() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count != 2) return 2;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, arguments[1], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  return 0;
}
