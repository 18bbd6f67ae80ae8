#include "pass/disc_location.h"

#include "bdmv/modify_bdmv_folder.h"
#include "bdmv/restore_bdmv_folder.h"

FolderOutcome DiscLocation::Modify(bool convert3DTo2D) const {
  return ModifyBdmvFolder(*m_dir, *m_path, convert3DTo2D);
}

FolderOutcome DiscLocation::Restore() const {
  return RestoreBdmvFolder(*m_dir, *m_path);
}

BdmvFolderState DiscLocation::ReadState() const {
  return ReadBdmvFolderState(*m_dir);
}
