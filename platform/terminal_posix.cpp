#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

namespace platform {
namespace {
volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
  g_interrupted = 1;
}
}  // namespace

bool IsTerminal(std::FILE* stream) {
  return isatty(fileno(stream)) == 1;
}

std::size_t TerminalWidth(std::FILE* stream) {
  winsize size{};
  if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void PrepareConsoleProgram() {}

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  // The second Ctrl+C finds the default action back in place.
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() {
  return g_interrupted != 0;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
