#include "pass/disc_location.h"

#include "bdmv/modify_bdmv_folder.h"
#include "bdmv/restore_bdmv_folder.h"
#include "disc_image/disc_image.h"

FolderOutcome DiscLocation::Modify(bool convert3DTo2D) const {
  if (m_imageName) return disc_image::ModifyDiscImage(*m_dir, *m_imageName, *m_path, convert3DTo2D);
  return ModifyBdmvFolder(*m_dir, *m_path, convert3DTo2D, m_look);
}

FolderOutcome DiscLocation::Restore() const {
  if (m_imageName) return disc_image::RestoreDiscImage(*m_dir, *m_imageName, *m_path);
  return RestoreBdmvFolder(*m_dir, *m_path, m_look);
}

BdmvFolderState DiscLocation::ReadState() const {
  if (m_imageName) return disc_image::ReadDiscImageState(*m_dir, *m_imageName);
  return m_look ? BdmvFolderStateOf(*m_look) : ReadBdmvFolderState(*m_dir);
}
