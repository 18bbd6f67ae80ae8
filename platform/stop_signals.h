#pragma once

// The signals that ask a program to stop: Ctrl+C (SIGINT), a service manager or `timeout`
// (SIGTERM), a closed terminal or an ended session (SIGHUP). On Windows the console's Ctrl+C and
// Ctrl+Break, its closing, a log-off and a shutdown, all told as SIGINT.
namespace platform {

// From now on, the first of these signals only records itself, so that a pass can finish the
// folder in hand and say what it did. A second one ends the program as the system would; on
// Windows it, or a closing console (which the system ends a few seconds later), ends the program
// at once with status 130 once the folder in hand is finished.
void CatchStopSignals();

// Gives the signals back to the system's own handling; a signal already recorded stays.
void ReleaseStopSignals();

// The signal that asked the program to stop, or 0.
int StopSignal();

// The status a shell reports for a program a signal ended: 128 and the signal's number.
constexpr int ExitStatusAfter(int signal) {
  return 128 + signal;
}

// Held while a folder is in hand: on Windows a stop that ends the program at once waits for it,
// so that no folder is left half changed and no temporary file behind. (A POSIX signal ends the
// program where it is, as usual.)
class FolderInHand {
 public:
  FolderInHand();
  ~FolderInHand();
  FolderInHand(const FolderInHand&) = delete;
  FolderInHand& operator=(const FolderInHand&) = delete;
};

}  // namespace platform
