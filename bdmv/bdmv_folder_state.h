#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/directory.h"

// What a BDMV folder holds, read without changing anything.
struct BdmvFolderState {
  std::string indexFile;  // the index file a pass would use; empty when there is none
  bool indexReadable = false;
  bool isIndexTable = false;
  bool patched = false;
  std::uint8_t flags = 0;  // the 3D flags byte, when isIndexTable
  std::string backupFile;  // the backup a Restore would use; empty when there is none
};

BdmvFolderState ReadBdmvFolderState(const platform::Directory& folder);
