#include "cli/console_output.h"

#include <cerrno>
#include <string>

#include "platform/terminal.h"

void ConsoleOutput::Print(std::FILE* stream, std::string_view text) {
  if (const std::error_code error = platform::WriteText(stream, text)) NoteFailure(stream, error);
}

void ConsoleOutput::Flush(std::FILE* stream) {
  if (std::fflush(stream) != 0) NoteFailure(stream, {errno, std::generic_category()});
}

bool ConsoleOutput::AllOutputWritten() {
  for (std::FILE* stream : {m_out, m_err}) {
    Flush(stream);
    // Also catches what was written past Print; its cause is gone.
    if (std::ferror(stream)) NoteFailure(stream, {});
  }
  if (m_lostStream == nullptr) return true;
  std::string message = std::string("quorvel-cli: cannot write to ") + m_lostStream;
  if (m_lostError) message += ": " + m_lostError.message();
  Print(m_err, message + "\n");
  Flush(m_err);
  return false;
}

void ConsoleOutput::NoteFailure(std::FILE* stream, std::error_code error) {
  if (m_lostStream == nullptr) {
    m_lostStream = stream == m_out ? "stdout" : "stderr";
    m_lostError = error;
  }
}
