#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "platform/directory.h"

// What a BDMV folder holds, read without changing anything.
struct BdmvFolderState {
  std::error_code listError;  // set when the folder could not be listed: nothing else is known
  std::string indexFile;      // the index file a pass would use; empty when there is none
  bool indexReadable = false;
  std::error_code indexError;  // why the index file could not be read: whether it is patched,
                               // and its flags, are unknown
  bool isIndexTable = false;
  bool patched = false;     // the whole patch, or extension data of another tool's
  bool unfinished = false;  // a patch or a Restore was interrupted: the next Modify completes it
  std::uint8_t flags = 0;   // the 3D flags byte, when isIndexTable
  std::string backupFile;   // the backup a Restore would use; empty when there is none
};

BdmvFolderState ReadBdmvFolderState(const platform::Directory& folder);
