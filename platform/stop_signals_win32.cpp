#include "platform/stop_signals.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <mutex>

namespace platform {
namespace {

std::atomic<int> g_stopSignal{0};
std::mutex g_folderInHand;

// The console calls this on a thread of its own, while the pass goes on.
BOOL WINAPI OnConsoleControl(DWORD event) {
  int none = 0;
  const bool first = g_stopSignal.compare_exchange_strong(none, SIGINT);
  // Ctrl+C or Ctrl+Break: the first stops the pass between two folders, with its summary.
  if (first && (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)) return TRUE;
  // A second one, or a console closing (whose process the system ends a few seconds after this
  // returns), ends the program now that the folder in hand is finished. The lock is kept, so no
  // other folder begins; TerminateProcess, unlike ExitProcess, cannot wait for a lock that the
  // pass's thread holds.
  g_folderInHand.lock();
  TerminateProcess(GetCurrentProcess(), ExitStatusAfter(SIGINT));
  return TRUE;
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

FolderInHand::FolderInHand() {
  g_folderInHand.lock();
}

FolderInHand::~FolderInHand() {
  g_folderInHand.unlock();
}

}  // namespace platform
