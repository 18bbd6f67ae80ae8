#pragma once

#include <chrono>
#include <string>

#include "cli/console_output.h"

// A one-line progress display on a terminal, redrawn at most ten times a second.
class ProgressLine {
 public:
  // Shows nothing unless `enabled` (stderr is a terminal and the user did not ask for quiet).
  ProgressLine(bool enabled, ConsoleOutput& console);

  void Update(long directories, long found, long handled, const std::string& current);

  // Removes the line so that a message or the summary can take its place.
  void Erase();

 private:
  bool m_enabled;
  ConsoleOutput& m_console;
  bool m_shown = false;
  std::chrono::steady_clock::time_point m_lastDraw{};
};
