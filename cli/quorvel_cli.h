#pragma once

#include <cstdio>
#include <string>
#include <vector>

// quorvel-cli as a whole but for its process: runs the command that `arguments` (UTF-8, the
// program's name first) ask for, writes what stdout and stderr would show to `out` and `err`, and
// returns the exit status. From the start of a command on, the stop signals are the pass's.
int RunQuorvelCli(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);
