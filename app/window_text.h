#pragma once

#include <windows.h>

#include <string>

// A window's text, however long: a control's, or a dialog's caption.
std::wstring WindowText(HWND window);
