#pragma once

#include <cstdio>
#include <string_view>
#include <system_error>

// The two streams quorvel-cli writes to, its stdout and its stderr. Everything it prints goes
// through here, so that output lost to a full disk or a failing device is noticed: a script must
// not take a partial report for a whole one.
class ConsoleOutput {
 public:
  ConsoleOutput(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

  std::FILE* Out() const { return m_out; }
  std::FILE* Err() const { return m_err; }

  // `stream` is Out() or Err().
  void Print(std::FILE* stream, std::string_view text);
  void Flush(std::FILE* stream);

  // Flushes both streams. When anything printed was lost, says so on Err() (if it still takes
  // text) and returns false.
  bool AllOutputWritten();

 private:
  void NoteFailure(std::FILE* stream, std::error_code error);

  std::FILE* m_out;
  std::FILE* m_err;
  const char* m_lostStream = nullptr;  // "stdout" or "stderr" once anything was lost
  std::error_code m_lostError;
};
