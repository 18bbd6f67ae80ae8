#pragma once

#include <chrono>
#include <cstdio>
#include <string>

// A one-line progress display on a terminal, redrawn at most ten times a second.
class ProgressLine {
 public:
  // Shows nothing unless `enabled` (stderr is a terminal and the user did not ask for quiet).
  explicit ProgressLine(bool enabled, std::FILE* out = stderr);

  void Update(long directories, long found, long handled, const std::string& current);

  // Removes the line so that a message or the summary can take its place.
  void Erase();

 private:
  bool m_enabled;
  std::FILE* m_out;
  bool m_shown = false;
  std::chrono::steady_clock::time_point m_lastDraw{};
};
