#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// What a console program needs from the system beyond the files it walks.
namespace platform {

// Whether the stream is shown on a terminal (a console on Windows).
bool IsTerminal(std::FILE* stream);

// The terminal's width in characters; 80 when it cannot be told.
std::size_t TerminalWidth(std::FILE* stream);

// Whether the terminal acts on control sequences ("\x1b[K" clears the rest of the line) instead
// of showing them. A Windows console does only where virtual-terminal processing is on, which a
// console before Windows 10, or one kept to the legacy mode, refuses.
bool TakesControlSequences(std::FILE* stream);

// Writes UTF-8 text to the stream, or says why it could not. A Windows console takes it as
// UTF-16, which it shows whatever its code page; the bytes of a pipe, a file or a POSIX terminal
// are the UTF-8 ones.
std::error_code WriteText(std::FILE* stream, std::string_view text);

// Readies a console program: stdout and stderr take UTF-8 bytes and terminal sequences
// unchanged, and a walk over a drive without a medium meets ordinary errors instead of the
// system's boxes. Only Windows needs telling.
void PrepareConsoleProgram();

// The program's arguments in UTF-8. Windows hands argv over in the ANSI code page, which cannot
// hold every folder name, so there they are read again from the wide command line.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace platform
