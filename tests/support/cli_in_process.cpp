#include "tests/support/cli_in_process.h"

#include <cstdio>
#include <cstdlib>

#include "cli/quorvel_cli.h"

namespace testing_support {
namespace {

// A stream to /dev/full, or one that keeps what it is given in memory.
class Capture {
 public:
  explicit Capture(bool full)
      : m_file(full ? std::fopen("/dev/full", "w") : open_memstream(&m_buffer, &m_size)) {}
  ~Capture() {
    if (m_file) std::fclose(m_file);
    std::free(m_buffer);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  std::FILE* File() const { return m_file; }

  // What it kept; the stream is closed.
  std::string Text() {
    std::fclose(m_file);
    m_file = nullptr;
    return m_buffer ? std::string(m_buffer, m_size) : std::string();
  }

 private:
  char* m_buffer = nullptr;
  std::size_t m_size = 0;
  std::FILE* m_file;
};

}  // namespace

ProcessResult CliInProcess(const std::vector<std::string>& arguments, CliStreams streams) {
  Capture out(streams.outFull), err(streams.errFull);
  if (!out.File() || !err.File()) return {};
  std::vector<std::string> command = {"quorvel-cli"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  ProcessResult result;
  result.exitStatus = RunQuorvelCli(command, out.File(), err.File());
  result.out = out.Text();
  result.err = err.Text();
  return result;
}

}  // namespace testing_support
