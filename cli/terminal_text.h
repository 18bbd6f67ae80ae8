#pragma once

#include <string>
#include <string_view>

// Text as a terminal may be given it: control characters (C0, DEL and C1) and bytes that are not
// UTF-8 become visible escapes ("\n", "\x1b", "\xff"), so that a folder's name can neither break
// a line nor command the terminal; a backslash in a name is doubled so that an escape cannot be
// forged. Where the backslash separates folders (Windows) no name holds one, and it stays single.
// Valid non-ASCII text (é, 中文) is kept as it is.
std::string TerminalText(std::string_view text);
