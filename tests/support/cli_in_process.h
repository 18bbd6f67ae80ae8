#pragma once

#include <string>
#include <vector>

#include "tests/support/run_process.h"

namespace testing_support {

// Where quorvel-cli's streams lead: kept for the result, or to /dev/full, which takes nothing.
struct CliStreams {
  bool outFull = false;
  bool errFull = false;
};

// Runs quorvel-cli in this process with these arguments, and returns what Cli returns for the
// program: the exit status and what it wrote to stdout and stderr.
ProcessResult CliInProcess(const std::vector<std::string>& arguments, CliStreams streams = {});

}  // namespace testing_support
