#pragma once

#include <string>
#include <vector>

#include "platform/utf16_win32.h"

namespace testing_support {

// The command line that gives a child exactly these arguments back from its command-line parsing.
inline std::wstring CommandLine(const std::vector<std::string>& arguments) {
  std::wstring commandLine;
  for (const auto& argument : arguments) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : platform::Widen(argument)) {
      if (c == L'\\') {
        ++backslashes;
        continue;
      }
      commandLine.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
      backslashes = 0;
      commandLine += c;
    }
    commandLine.append(backslashes * 2, L'\\');
    commandLine += L'"';
  }
  return commandLine;
}

}  // namespace testing_support
