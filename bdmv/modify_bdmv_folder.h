#pragma once

#include <optional>
#include <string>

#include "bdmv/folder_look.h"
#include "bdmv/folder_outcome.h"
#include "platform/directory.h"

// Backs up the folder's index file into BACKUP, then gives it the extension-data block (and
// clears its 3D flags with `convert3DTo2D`) and sets the movie-object file's time. `path` is the
// folder's full path, for messages. `look`, taken for a change before the folder's turn, is
// what the folder is first seen as, and is used up; without it the folder is looked at now.
// Throws FileError when a file of the folder fails mid-way: the pass ends.
FolderOutcome ModifyBdmvFolder(const platform::Directory& folder, const std::string& path,
                               bool convert3DTo2D, FolderLook* look = nullptr);

// What a Modify makes of the folder from its look alone, where it would write nothing: a folder
// already patched, or one it refuses. None where it is to change something, or where the index
// file could not be read: the folder's turn tells then, with the folder open.
std::optional<FolderOutcome> ModifyOutcomeOfLook(const FolderLook& look, const std::string& path);
