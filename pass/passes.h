#pragma once

#include <functional>
#include <string>

#include "bdmv/bdmv_folder_state.h"
#include "pass/bdmv_folder_walker.h"
#include "pass/pass_front_end.h"

// How a pass walks: `threads` directories are listed at once while it looks for discs (1: one at
// a time). The order of the walk and what it finds are the same for every number.
struct WalkOptions {
  unsigned threads = CBdmvFolderWalker::kDefaultThreads;
  bool images = false;  // disc images (*.iso) below the folder are targets too
};

// Modifies every BDMV folder below `folder` (and with WalkOptions::images every disc image) and
// shows "Modify %d file successful". A `folder` that names a plain file is a pass over that
// image alone. One that can be neither entered nor taken as an image shows "Floder Path ERR."
// and ends the pass there. A directory below it
// that cannot be read is skipped and told to PassFrontEnd::FolderUnreadable. A FileError from a
// folder ends the pass and is left to the front end's guard.
void RunModifyPass(const std::string& folder, int convert3DTo2D, PassFrontEnd& frontEnd,
                   const WalkOptions& options = {});

// Restores every BDMV folder (and image) below `folder`, or the image it names, and shows
// "Resume  %d files successful".
void RunRestorePass(const std::string& folder, PassFrontEnd& frontEnd,
                    const WalkOptions& options = {});

using ScanReport = std::function<void(const std::string& path, const BdmvFolderState& state)>;

// Reports every BDMV folder and image a pass would visit, under its path, and changes nothing. A
// BDMV folder that cannot be listed, or whose index file cannot be read, is told to
// PassFrontEnd::FolderUnreadable too. Returns false when the start folder cannot be entered, after
// showing "Floder Path ERR.". `ending`, when given, takes what a pass's summary says of the walk
// (whether a stop ended it, and where), without a text: a scan counts nothing.
bool RunScan(const std::string& folder, PassFrontEnd& frontEnd, const ScanReport& report,
             const WalkOptions& options = {}, PassMessage* ending = nullptr);
