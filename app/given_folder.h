#pragma once

// Folders (or disc images) given to the program other than through Browse: dropped onto its
// dialog, or named on its command line.

#include <windows.h>

#include <optional>
#include <string>

// Lets a window take folders dragged onto it from the shell, also when the window runs with more
// rights than the shell (an elevated program otherwise never hears of the drop).
void AcceptDroppedFolders(HWND window);

// The first item of a drop, in UTF-8, when it is a folder or a file (a disc image, for the pass to
// judge); nothing when it cannot be found. Lets go of the drop.
std::optional<std::string> TakeDroppedPath(HDROP drop);

// The folder (or image) named on a command line, as the program's first argument, unchecked;
// empty without one. A quoted drive root ("D:\") reaches the program as D:" and is read as D:\.
std::string FolderArgument(const wchar_t* commandLine);
