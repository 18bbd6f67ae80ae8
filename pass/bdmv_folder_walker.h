#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/directory.h"

class PassFrontEnd;

// Walks a folder tree depth first and hands every directory named like the pattern to a
// handler. It works relative to open directories: the process's working directory never moves,
// links are never followed, and depth is bounded by memory, not by file descriptors or the stack.
class CBdmvFolderWalker {
 public:
  using TargetHandler =
      std::function<void(const platform::Directory& target, const std::string& path)>;

  CBdmvFolderWalker(const std::string& startFolder, std::string pattern);
  virtual ~CBdmvFolderWalker() = default;
  CBdmvFolderWalker(const CBdmvFolderWalker&) = delete;
  CBdmvFolderWalker& operator=(const CBdmvFolderWalker&) = delete;

  // False when the start folder could not be entered; Walk then visits nothing.
  bool Entered() const { return !m_levels.empty(); }

  // Visits the start folder and every non-hidden directory below it. A target is handed to the
  // handler even when it cannot be opened, so that its operation can report it.
  void Walk(const TargetHandler& handler, PassFrontEnd* progress = nullptr);

 private:
  struct Level {
    platform::Directory dir;          // closed once the level is far above the walk's current depth
    platform::FileIdentity identity;  // taken when dir is closed, to check a reopened one
    std::string name;
    std::size_t pathLength = 0;
    std::vector<std::string> subdirectories;
    std::size_t next = 0;
  };

  void Visit(Level& level, const TargetHandler& handler, PassFrontEnd* progress);
  void ScanForTargets(const platform::Directory& dir,
                      const std::vector<platform::DirEntry>& entries, const TargetHandler& handler);
  void Descend(std::string name, const TargetHandler& handler, PassFrontEnd* progress);
  void Ascend();
  platform::Directory ReopenFromAncestor(std::size_t index) const;

  std::string m_strPattern;
  std::string m_path;  // the directory being visited
  std::vector<Level> m_levels;
  std::vector<platform::DirEntry> m_entries;  // reused for every listing
};
