// POSIX only: running quorvel-cli as another user.
#pragma once

#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/privileges.h"

namespace testing_support {

// As root nothing is unreadable or unwritable: runs quorvel-cli as an ordinary user.
inline ProcessResult CliAsNobody(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), QUORVEL_CLI_PATH);
  const auto user = AsOrdinaryUser();
  arguments.insert(arguments.begin(), user.begin(), user.end());
  return RunProcess(arguments);
}

}  // namespace testing_support
