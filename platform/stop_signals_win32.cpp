#include "platform/stop_signals.h"

#include <windows.h>

#include <atomic>
#include <csignal>

namespace platform {
namespace {

std::atomic<int> g_stopSignal{0};

// The first Ctrl+C is taken; a second one goes on to the default handler, which ends the program.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT) return FALSE;
  int none = 0;
  return g_stopSignal.compare_exchange_strong(none, SIGINT) ? TRUE : FALSE;
}

}  // namespace

void CatchStopSignals() {
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void ReleaseStopSignals() {
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

int StopSignal() {
  return g_stopSignal;
}

}  // namespace platform
