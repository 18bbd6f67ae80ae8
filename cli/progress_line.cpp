#include "cli/progress_line.h"

#include "cli/terminal_text.h"
#include "platform/terminal.h"

namespace {

// Keeps the end of a path, where the folder's own name is, without splitting a UTF-8 character.
std::string Tail(const std::string& text, std::size_t width) {
  if (text.size() <= width) return text;
  if (width <= 3) return std::string(width, '.');
  std::size_t start = text.size() - (width - 3);
  while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  return "..." + text.substr(start);
}

}  // namespace

ProgressLine::ProgressLine(bool enabled, ConsoleOutput& console)
    : m_enabled(enabled),
      m_console(console),
      m_sequences(enabled && platform::TakesControlSequences(console.Err())) {}

std::string ProgressLine::Clearing() const {
  if (m_sequences) return "\r\x1b[K";
  return "\r" + std::string(m_drawn, ' ') + "\r";
}

void ProgressLine::Draw(const PassProgress& progress) {
  if (!m_enabled) return;
  const std::size_t width = platform::TerminalWidth(m_console.Err()) - 1;
  std::string line = ProgressText(progress);
  if (!progress.searching) {
    line += "  ";
    if (line.size() < width) line += Tail(TerminalText(progress.current), width - line.size());
  }
  // A line the terminal wraps would leave its first rows behind at the next redraw.
  if (line.size() > width) line.resize(width);
  m_console.Print(m_console.Err(), Clearing() + line);
  m_console.Flush(m_console.Err());
  m_drawn = line.size();
  m_shown = true;
}

void ProgressLine::Erase() {
  if (!m_shown) return;
  m_console.Print(m_console.Err(), Clearing());
  m_console.Flush(m_console.Err());
  m_drawn = 0;
  m_shown = false;
}
