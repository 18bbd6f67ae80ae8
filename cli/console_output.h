#pragma once

#include <cstdio>
#include <string_view>

// Everything quorvel-cli prints goes through here, so that output lost to a full disk or a failing
// device is noticed: a script must not take a partial report for a whole one.

void Print(std::FILE* stream, std::string_view text);
void Flush(std::FILE* stream);

// Flushes stdout and stderr. When anything printed was lost, says so on stderr (if it still takes
// text) and returns false.
bool AllOutputWritten();
