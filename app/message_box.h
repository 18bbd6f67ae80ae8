#pragma once

#include <windows.h>

#include <functional>
#include <string>

// The executable's file name without directory and extension: the caption of every box.
std::string ApplicationName();

// Shows text in a modal box with an OK button and `icon` (MB_ICONEXCLAMATION, MB_ICONSTOP),
// owned by `owner` or the pop-up it owns that was active last, and returns once it is dismissed.
// Non-empty `details`, a report of any length, go below the text in a box that scrolls.
void ShowMessageBox(HWND owner, const std::string& text, UINT icon,
                    const std::string& details = {});

// Tests answer boxes instead of the user: while a hook is set, it receives every box, and
// returns true for the boxes it answered itself; the others are shown on the screen.
using MessageBoxHook =
    std::function<bool(HWND owner, const std::string& text, const std::string& caption, UINT type,
                       const std::string& details)>;
void SetMessageBoxHook(MessageBoxHook hook);
