#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) == 1;
}

std::size_t TerminalWidth(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

bool TakesControlSequences(std::FILE*) {
  return true;
}

std::error_code WriteText(std::FILE* stream, std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size()) return {};
  return {errno, std::generic_category()};
}

void PrepareConsoleProgram() {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
