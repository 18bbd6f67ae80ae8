#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bdmv/folder_look.h"
#include "platform/directory.h"
#include "platform/file_error.h"

// What a BDMV folder holds, read without changing anything.
struct BdmvFolderState {
  // Set when the folder could not be listed: nothing else is known.
  std::optional<FileError> listError;
  std::string indexFile;  // the index file a pass would use; empty when there is none
  bool indexReadable = false;
  // Why the index file could not be read: whether it is patched, and its flags, are unknown.
  std::optional<FileError> indexError;
  bool isIndexTable = false;
  bool patched = false;     // the whole patch, or extension data of another tool's
  bool unfinished = false;  // a patch or a Restore was interrupted: the next Modify completes it
  std::uint8_t flags = 0;   // the 3D flags byte, when isIndexTable
  std::string backupFile;   // the backup a Restore would use; empty when there is none
};

BdmvFolderState ReadBdmvFolderState(const platform::Directory& folder);
// The same, from a look taken at the folder before.
BdmvFolderState BdmvFolderStateOf(const FolderLook& look);
