#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
  int exitStatus = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs a program without a shell, stdin empty, and collects what it printed.
ProcessResult RunProcess(const std::vector<std::string>& arguments);

}  // namespace testing_support
