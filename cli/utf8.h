#pragma once

#include <cstddef>
#include <string_view>

// Folder names are bytes; these tell which of them are text.

// The length of the well-formed UTF-8 sequence that starts at `at` (1 to 4), or 0 when the bytes
// there are not one: a stray continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF, or a sequence cut short.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

bool IsUtf8(std::string_view text);
