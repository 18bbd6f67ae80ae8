#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

// A console of the test's own, as a user's window would be, and quorvel-cli started on it.
namespace testing_support {

class OwnConsole {
 public:
  // Leaves whatever console the test had and makes one `width` columns wide.
  explicit OwnConsole(short width = 400);
  ~OwnConsole();
  OwnConsole(const OwnConsole&) = delete;
  OwnConsole& operator=(const OwnConsole&) = delete;

  bool Ready() const { return m_screen != INVALID_HANDLE_VALUE; }
  HANDLE Screen() const { return m_screen; }

  // The characters on the screen buffer's first `rows` rows, each row's trailing blanks cut.
  std::vector<std::wstring> Rows(short rows) const;

 private:
  HANDLE m_screen = INVALID_HANDLE_VALUE;
};

// quorvel-cli started on the caller's console; its stdout and stderr go to `out` and `err`, or to
// the console when they are empty.
struct ConsoleChild {
  PROCESS_INFORMATION process{};
  bool started = false;
};
ConsoleChild StartCliOnConsole(const std::vector<std::string>& arguments,
                               const std::filesystem::path& out = {},
                               const std::filesystem::path& err = {});

// Waits for the child and returns its exit status; -1 if it did not end within two minutes.
int WaitForExit(ConsoleChild& child);

}  // namespace testing_support
