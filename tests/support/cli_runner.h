#pragma once

#include <string>
#include <vector>

#include "tests/support/run_process.h"

namespace testing_support {

// Runs the built quorvel-cli, named by the test's QUORVEL_CLI_PATH, with these arguments.
inline ProcessResult Cli(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), QUORVEL_CLI_PATH);
  return RunProcess(arguments);
}

}  // namespace testing_support
