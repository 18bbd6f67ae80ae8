#pragma once

#include <windows.h>

#include <functional>
#include <string>

// The executable's file name without directory and extension: the caption of every box.
std::string ApplicationName();

// Shows text in a modal box with an OK button and `icon` (MB_ICONEXCLAMATION, MB_ICONSTOP),
// owned by `owner` or the pop-up it owns that was active last, and returns once it is dismissed.
void ShowMessageBox(HWND owner, const std::string& text, UINT icon);

// Tests answer boxes instead of the user: while a hook is set, it receives every box instead of
// the screen.
using MessageBoxHook =
    std::function<void(HWND owner, const std::string& text, const std::string& caption, UINT type)>;
void SetMessageBoxHook(MessageBoxHook hook);
