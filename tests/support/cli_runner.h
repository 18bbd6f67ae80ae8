#pragma once

#include <string>
#include <vector>

#include "tests/support/privileges.h"
#include "tests/support/run_process.h"

namespace testing_support {

// Runs the built quorvel-cli, named by the test's QUORVEL_CLI_PATH, with these arguments.
inline ProcessResult Cli(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), QUORVEL_CLI_PATH);
  return RunProcess(arguments);
}

// As root nothing is unreadable or unwritable: runs quorvel-cli as an ordinary user.
inline ProcessResult CliAsNobody(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), QUORVEL_CLI_PATH);
  const auto user = AsOrdinaryUser();
  arguments.insert(arguments.begin(), user.begin(), user.end());
  return RunProcess(arguments);
}

}  // namespace testing_support
