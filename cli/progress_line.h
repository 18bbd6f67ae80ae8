#pragma once

#include <cstddef>
#include <string>

#include "cli/console_output.h"
#include "pass/pass_presenter.h"

// A one-line progress display on a terminal: the search's counts, then the number of the disc at
// hand and the end of its path.
class ProgressLine {
 public:
  // Shows nothing unless `enabled` (stderr is a terminal and the user did not ask for quiet).
  ProgressLine(bool enabled, ConsoleOutput& console);

  void Draw(const PassProgress& progress);

  // Removes the line so that a message or the summary can take its place.
  void Erase();

 private:
  // Takes the cursor to the start of the line and clears what was drawn there.
  std::string Clearing() const;

  bool m_enabled;
  ConsoleOutput& m_console;
  bool m_sequences;         // the terminal acts on "\x1b[K"; otherwise blanks clear the line
  std::size_t m_drawn = 0;  // the bytes of the line shown, at least its columns
  bool m_shown = false;
};
