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

// What a command line asks of the dialog: "quorvel.exe [--modify | --restore] [FOLDER]", as the
// shell runs it for a folder dropped onto the program's icon or for Explorer's menu items.
struct DialogArguments {
  // The folder (or image) to fill the path with, unchecked; empty without one. A quoted drive
  // root ("D:\") reaches the program as D:" and is read as D:\.
  std::string folder;
  // The button (IDC_MODIFY or IDC_RESTORE) to press once the dialog shows; 0 for none.
  int passButton = 0;
  // Both --modify and --restore: the program says so and starts nothing.
  bool bothPasses = false;
};

DialogArguments ReadDialogArguments(const wchar_t* commandLine);
