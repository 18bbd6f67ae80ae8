#pragma once

// The signals that ask a program to stop: Ctrl+C (SIGINT), a service manager or `timeout`
// (SIGTERM), a closed terminal or an ended session (SIGHUP). Windows has Ctrl+C alone.
namespace platform {

// From now on, the first of these signals only records itself, so that a pass can finish the
// folder in hand and say what it did; a second one ends the program as the system would.
void CatchStopSignals();

// Gives the signals back to the system's own handling; a signal already recorded stays.
void ReleaseStopSignals();

// The signal that asked the program to stop, or 0.
int StopSignal();

// The status a shell reports for a program a signal ended: 128 and the signal's number.
constexpr int ExitStatusAfter(int signal) {
  return 128 + signal;
}

}  // namespace platform
