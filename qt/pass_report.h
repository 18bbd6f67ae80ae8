#pragma once

#include <string>

#include <QStringList>

#include "bdmv/folder_outcome.h"

// What a pass did, folder by folder, for the details part of its summary: each BDMV folder with
// its outcome, and each directory the walk could not read with the cause, one per line.
class PassReport {
 public:
  void FolderHandled(const std::string& path, const FolderOutcome& outcome);
  void FolderUnreadable(const std::string& path, const std::string& cause);

  // Empty when the pass found nothing to tell.
  QString Text() const;

 private:
  QStringList m_lines;
};
