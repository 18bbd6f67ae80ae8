#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "bdmv/folder_outcome.h"

// What a pass did, folder by folder, for the details part of its summary: each BDMV folder with
// its outcome, and each directory the walk could not read with the cause, one per line.
class PassReport {
 public:
  void FolderHandled(const std::string& path, const FolderOutcome& outcome);
  void FolderUnreadable(const std::string& path, const std::string& cause);

  // The lines joined by `lineEnd` ("\r\n" for a Windows edit box); empty when there is nothing
  // to tell.
  std::string Text(std::string_view lineEnd = "\n") const;

 private:
  std::vector<std::string> m_lines;
};
