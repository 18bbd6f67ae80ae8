#pragma once

#include <string>

#include "bdmv/bdmv_folder_state.h"
#include "bdmv/folder_look.h"
#include "bdmv/folder_outcome.h"
#include "platform/directory.h"

// Where a disc lives: a BDMV folder on a disk, or a disc inside an image file. Modify, Restore
// and scan reach a disc through this alone, so that both kinds are counted, reported and shown
// alike. It refers to what the walk holds and lasts as long as the call it is handed to.
class DiscLocation {
 public:
  // A BDMV folder as the walk opened it; one that could not be opened still tells why. `look`,
  // when the walk took one ahead of the folder's turn, is what the operation starts from.
  static DiscLocation BdmvFolder(const platform::Directory& folder, const std::string& path,
                                 FolderLook* look = nullptr) {
    return DiscLocation(folder, nullptr, path, look);
  }
  // The image file `name` in `dir`.
  static DiscLocation Image(const platform::Directory& dir, const std::string& name,
                            const std::string& path) {
    return DiscLocation(dir, &name, path);
  }

  // The full path the disc is reported under: the BDMV folder's, or the image file's.
  const std::string& Path() const { return *m_path; }
  bool IsImage() const { return m_imageName != nullptr; }
  // The BDMV folder, or the directory that holds the image.
  const platform::Directory& Folder() const { return *m_dir; }

  // As ModifyBdmvFolder and RestoreBdmvFolder: a FileError that ends the pass is thrown.
  FolderOutcome Modify(bool convert3DTo2D) const;
  FolderOutcome Restore() const;
  BdmvFolderState ReadState() const;

 private:
  DiscLocation(const platform::Directory& dir, const std::string* imageName,
               const std::string& path, FolderLook* look = nullptr)
      : m_dir(&dir), m_imageName(imageName), m_path(&path), m_look(look) {}

  const platform::Directory* m_dir;
  const std::string* m_imageName;  // none for a BDMV folder
  const std::string* m_path;
  FolderLook* m_look;
};
