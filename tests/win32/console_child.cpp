#include "tests/win32/console_child.h"

#include "tests/support/command_line_win32.h"

namespace testing_support {
namespace {

HANDLE Inheritable(const std::wstring& name, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE OutputTo(const std::filesystem::path& file) {
  if (file.empty()) return Inheritable(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  return Inheritable(file.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
}

}  // namespace

OwnConsole::OwnConsole(short width) {
  FreeConsole();
  if (!AllocConsole()) return;
  m_screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  // Wide enough that no line of the test wraps.
  SetConsoleScreenBufferSize(m_screen, COORD{width, 100});
}

OwnConsole::~OwnConsole() {
  if (m_screen != INVALID_HANDLE_VALUE) CloseHandle(m_screen);
  FreeConsole();
}

std::vector<std::wstring> OwnConsole::Rows(short rows) const {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(m_screen, &info);
  std::vector<std::wstring> text;
  for (short row = 0; row < rows; ++row) {
    std::wstring line(static_cast<std::size_t>(info.dwSize.X), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(m_screen, line.data(), static_cast<DWORD>(line.size()),
                                COORD{0, row}, &read);
    line.resize(read);
    line.erase(line.find_last_not_of(L' ') + 1);
    text.push_back(line);
  }
  return text;
}

ConsoleChild StartCliOnConsole(const std::vector<std::string>& arguments,
                               const std::filesystem::path& out, const std::filesystem::path& err) {
  std::vector<std::string> all = {QUORVEL_CLI_PATH};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::wstring commandLine = CommandLine(all);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = OutputTo(out);
  startup.hStdError = OutputTo(err);
  ConsoleChild child;
  child.started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &child.process);
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) {
    CloseHandle(handle);
  }
  return child;
}

int WaitForExit(ConsoleChild& child) {
  if (!child.started) return -1;
  int status = -1;
  if (WaitForSingleObject(child.process.hProcess, 120000) == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (GetExitCodeProcess(child.process.hProcess, &code)) status = static_cast<int>(code);
  } else {
    TerminateProcess(child.process.hProcess, 1);
  }
  CloseHandle(child.process.hThread);
  CloseHandle(child.process.hProcess);
  child.started = false;
  return status;
}

}  // namespace testing_support
