#pragma once

#include <windows.h>

#include <string>

// A string of the executable's string table; empty when there is none.
std::wstring LoadResourceString(UINT id);
