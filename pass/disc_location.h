#pragma once

#include <string>

#include "bdmv/bdmv_folder_state.h"
#include "bdmv/folder_outcome.h"
#include "platform/directory.h"

// Where a disc lives. Modify, Restore and scan reach a disc through this alone. It refers to what
// the walk holds and lasts as long as the call it is handed to.
class DiscLocation {
 public:
  // A BDMV folder as the walk opened it; one that could not be opened still tells why.
  static DiscLocation BdmvFolder(const platform::Directory& folder, const std::string& path) {
    return DiscLocation(folder, path);
  }

  // The full path the disc is reported under.
  const std::string& Path() const { return *m_path; }
  // The BDMV folder.
  const platform::Directory& Folder() const { return *m_dir; }

  // As ModifyBdmvFolder and RestoreBdmvFolder: a FileError that ends the pass is thrown.
  FolderOutcome Modify(bool convert3DTo2D) const;
  FolderOutcome Restore() const;
  BdmvFolderState ReadState() const;

 private:
  DiscLocation(const platform::Directory& dir, const std::string& path)
      : m_dir(&dir), m_path(&path) {}

  const platform::Directory* m_dir;
  const std::string* m_path;
};
