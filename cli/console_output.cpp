#include "cli/console_output.h"

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/terminal.h"

namespace {

struct LostOutput {
  const char* stream = nullptr;  // nullptr while nothing was lost
  std::error_code error;
};

LostOutput g_lost;

void NoteFailure(std::FILE* stream, std::error_code error) {
  if (g_lost.stream == nullptr) g_lost = {stream == stdout ? "stdout" : "stderr", error};
}

}  // namespace

void Print(std::FILE* stream, std::string_view text) {
  if (const std::error_code error = platform::WriteText(stream, text)) NoteFailure(stream, error);
}

void Flush(std::FILE* stream) {
  if (std::fflush(stream) != 0) NoteFailure(stream, {errno, std::generic_category()});
}

bool AllOutputWritten() {
  for (std::FILE* stream : {stdout, stderr}) {
    Flush(stream);
    // Also catches what was printed past Print, such as the help text; its cause is gone.
    if (std::ferror(stream)) NoteFailure(stream, {});
  }
  if (g_lost.stream == nullptr) return true;
  std::string message = std::string("quorvel-cli: cannot write to ") + g_lost.stream;
  if (g_lost.error) message += ": " + g_lost.error.message();
  Print(stderr, message + "\n");
  Flush(stderr);
  return false;
}
