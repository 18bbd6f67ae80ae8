#pragma once

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
