#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

// What the browser offers: folders alone, or the files among them too (a disc image is one).
enum class BrowseItems { kFolders, kFoldersAndFiles };

// Shows the shell's folder browser, owned by `owner` and rooted at the desktop, with `prompt`
// above its folder tree. Returns the chosen item's file-system path in UTF-8; nothing when the
// user cancels or the chosen item has no file-system path.
std::optional<std::string> BrowseForFolder(HWND owner, const std::string& prompt,
                                           BrowseItems items = BrowseItems::kFolders);

// Tests answer the browser instead of the user: while a hook is set, it is asked instead.
using FolderBrowserHook = std::function<std::optional<std::string>(
    HWND owner, const std::string& prompt, BrowseItems items)>;
void SetFolderBrowserHook(FolderBrowserHook hook);
