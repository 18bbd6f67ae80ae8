#pragma once

#include <cstddef>
#include <cstdio>

namespace platform {

// Whether the stream is shown on a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// The terminal's width in characters; 80 when it cannot be told.
std::size_t TerminalWidth(std::FILE* stream);

}  // namespace platform
