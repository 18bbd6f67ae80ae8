#include "cli/console_output.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace {

struct LostOutput {
  const char* stream = nullptr;  // nullptr while nothing was lost
  int error = 0;
};

LostOutput g_lost;

void NoteFailure(std::FILE* stream, int error) {
  if (g_lost.stream == nullptr) g_lost = {stream == stdout ? "stdout" : "stderr", error};
}

}  // namespace

void Print(std::FILE* stream, std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) NoteFailure(stream, errno);
}

void Flush(std::FILE* stream) {
  if (std::fflush(stream) != 0) NoteFailure(stream, errno);
}

bool AllOutputWritten() {
  for (std::FILE* stream : {stdout, stderr}) {
    Flush(stream);
    // Also catches what was printed past Print, such as the help text; its cause is gone.
    if (std::ferror(stream)) NoteFailure(stream, 0);
  }
  if (g_lost.stream == nullptr) return true;
  std::string message = std::string("quorvel-cli: cannot write to ") + g_lost.stream;
  if (g_lost.error != 0) message += std::string(": ") + std::strerror(g_lost.error);
  Print(stderr, message + "\n");
  Flush(stderr);
  return false;
}
