#pragma once

#include <string>

#include "bdmv/folder_look.h"
#include "bdmv/folder_outcome.h"
#include "platform/directory.h"

// Puts the index file saved in BACKUP back in place of the folder's index file, whole. `path` is
// the folder's full path, for messages. `look`, taken before the folder's turn, is what the
// folder is first seen as; without it the folder is looked at now.
FolderOutcome RestoreBdmvFolder(const platform::Directory& folder, const std::string& path,
                                FolderLook* look = nullptr);
