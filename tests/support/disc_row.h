#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_tree.h"

namespace testing_support {

// Discs side by side below a folder, "disc0" to "discN-1", each with the same unpatched index
// file: enough of them for a pass to be stopped midway, and for what it left to be checked.
class DiscRow {
 public:
  DiscRow(std::filesystem::path folder, int count, Bytes index);

  // Makes every disc afresh.
  void Make() const;

  // Whether some disc has a backup: a Modify pass is under way.
  bool AnyBackup() const;

  struct Left {
    int patched = 0;
    std::vector<std::string> faults;  // a disc neither as it was nor wholly patched, a temporary
  };
  // What a stopped Modify pass left: each index file is the original or the whole patch beside a
  // whole backup; with `temporariesAllowed` false, no hidden temporary file is left either.
  Left Check(bool temporariesAllowed = false) const;

 private:
  std::filesystem::path Bdmv(int disc) const;

  std::filesystem::path m_folder;
  int m_count;
  Bytes m_index;
};

}  // namespace testing_support
