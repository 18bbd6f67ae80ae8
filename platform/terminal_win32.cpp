#include "platform/terminal.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cerrno>

#include "platform/utf16_win32.h"

namespace platform {
namespace {

HANDLE ConsoleOf(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

// Old consoles take at most about 64 KB a call.
constexpr std::size_t kConsoleChunk = 8192;

std::error_code WriteToConsole(HANDLE console, std::wstring_view text) {
  while (!text.empty()) {
    std::size_t count = std::min(text.size(), kConsoleChunk);
    // A surrogate pair stays in one call.
    if (count < text.size() && IS_HIGH_SURROGATE(text[count - 1])) --count;
    DWORD written = 0;
    if (!WriteConsoleW(console, text.data(), static_cast<DWORD>(count), &written, nullptr)) {
      return {static_cast<int>(GetLastError()), std::system_category()};
    }
    if (written == 0) return std::make_error_code(std::errc::io_error);
    text.remove_prefix(written);
  }
  return {};
}

}  // namespace

std::error_code WriteText(std::FILE* stream, std::string_view text) {
  // Through the C runtime a console gets the UTF-8 bytes, which it does not decode reliably
  // whatever its output code page: non-ASCII characters come out as U+FFFD.
  if (IsTerminal(stream)) {
    if (std::fflush(stream) != 0) return {errno, std::generic_category()};
    return WriteToConsole(ConsoleOf(stream), Widen(text));
  }
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size()) return {};
  return {errno, std::generic_category()};
}

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(ConsoleOf(stream), &mode) != 0;
}

bool TakesControlSequences(std::FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(ConsoleOf(stream), &mode) && (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::size_t TerminalWidth(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(ConsoleOf(stream), &info)) return 80;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  return width > 0 ? static_cast<std::size_t>(width) : 80;
}

void PrepareConsoleProgram() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetConsoleOutputCP(CP_UTF8);
  // "\n" goes out without "\r", so that scripts read the same bytes as on other systems. Where
  // the console will not take terminal sequences, its mode stays as it was, which
  // TakesControlSequences tells.
  for (std::FILE* stream : {stdout, stderr}) {
    _setmode(_fileno(stream), _O_BINARY);
    DWORD mode = 0;
    if (GetConsoleMode(ConsoleOf(stream), &mode)) {
      SetConsoleMode(ConsoleOf(stream), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
  }
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace platform
