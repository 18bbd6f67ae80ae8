#include "platform/stop_signals.h"

#include <csignal>
#include <cstddef>

namespace platform {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kCount = sizeof kStopSignals / sizeof kStopSignals[0];

volatile std::sig_atomic_t g_stopSignal = 0;
struct sigaction g_before[kCount];  // the actions in place before CatchStopSignals

void OnStopSignal(int signal) {
  g_stopSignal = signal;
  // The next one, of any of the three, meets the action it met before.
  ReleaseStopSignals();
}

}  // namespace

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  // A file call under way when a signal comes goes on: the folder in hand is to be finished.
  action.sa_flags = SA_RESTART;
  // One handler at a time: a second signal waits for the first to be recorded.
  sigemptyset(&action.sa_mask);
  for (const int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
  for (std::size_t i = 0; i < kCount; ++i) {
    sigaction(kStopSignals[i], nullptr, &g_before[i]);
    // A signal ignored from the start (nohup) stays ignored.
    if (g_before[i].sa_handler != SIG_IGN) sigaction(kStopSignals[i], &action, nullptr);
  }
}

void ReleaseStopSignals() {
  for (std::size_t i = 0; i < kCount; ++i) sigaction(kStopSignals[i], &g_before[i], nullptr);
}

int StopSignal() {
  return g_stopSignal;
}

FolderInHand::FolderInHand() = default;
FolderInHand::~FolderInHand() = default;

}  // namespace platform
