// What libbluray's tools print for a disc, a folder or an image alike.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/run_process.h"

namespace testing_support {

inline constexpr char kBdInfo[] = "/usr/bin/bd_info";
inline constexpr char kBdListTitles[] = "/usr/bin/bd_list_titles";

// The tool's standard output for the disc, without the volume name bd_info prints for an image
// and has none for a folder. `exitStatus` is the tool's.
inline ProcessResult DiscReport(const char* tool, const std::filesystem::path& disc) {
  ProcessResult result = RunProcess({tool, disc.string()});
  const std::size_t line = result.out.find("Volume Identifier");
  if (line != std::string::npos) {
    result.out.erase(line, result.out.find('\n', line) + 1 - line);
  }
  return result;
}

}  // namespace testing_support
