#include "cli/progress_line.h"

#include "cli/terminal_text.h"
#include "platform/terminal.h"

namespace {

constexpr auto kRefreshInterval = std::chrono::milliseconds(100);

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
    : m_enabled(enabled), m_console(console) {}

void ProgressLine::Update(long directories, long found, long handled, const std::string& current) {
  if (!m_enabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (m_lastDraw != decltype(m_lastDraw){} && now - m_lastDraw < kRefreshInterval) return;
  m_lastDraw = now;
  std::string line = std::to_string(directories) + " directories, " + std::to_string(found) +
                     " BDMV found, " + std::to_string(handled) + " handled  ";
  const std::size_t width = platform::TerminalWidth(m_console.Err()) - 1;
  if (line.size() < width) line += Tail(TerminalText(current), width - line.size());
  m_console.Print(m_console.Err(), "\r\x1b[K" + line);
  m_console.Flush(m_console.Err());
  m_shown = true;
}

void ProgressLine::Erase() {
  if (!m_shown) return;
  m_console.Print(m_console.Err(), "\r\x1b[K");
  m_console.Flush(m_console.Err());
  m_shown = false;
}
