#include "pass/bdmv_folder_walker.h"

#include <utility>

#include "pass/pass_front_end.h"

namespace {
// Directories kept open above the current one; the rest are reopened when the walk returns.
constexpr std::size_t kOpenLevels = 48;
}  // namespace

CBdmvFolderWalker::CBdmvFolderWalker(const std::string& startFolder, std::string pattern)
    : m_strPattern(std::move(pattern)) {
  platform::Directory start = platform::Directory::OpenFolder(startFolder);
  if (!start.IsOpen()) return;
  m_path = platform::AbsoluteFolderPath(startFolder);
  m_levels.push_back({std::move(start), {}, {}, m_path.size(), {}, 0});
}

void CBdmvFolderWalker::Walk(const TargetHandler& handler, PassFrontEnd* progress) {
  if (m_levels.empty()) return;
  Visit(m_levels.back(), handler, progress);
  while (!m_levels.empty()) {
    Level& level = m_levels.back();
    if (level.next < level.subdirectories.size()) {
      Descend(std::move(level.subdirectories[level.next++]), handler, progress);
    } else if (m_levels.size() > 1) {
      Ascend();
    } else {
      m_levels.pop_back();
    }
  }
}

// One listing serves the targets and the descent; targets come first.
void CBdmvFolderWalker::Visit(Level& level, const TargetHandler& handler, PassFrontEnd* progress) {
  if (progress) progress->DirectoryVisited(m_path);
  if (!level.dir.List(m_entries)) return;
  ScanForTargets(level.dir, m_entries, handler);
  for (auto& entry : m_entries) {
    if (entry.kind == platform::EntryKind::kDirectory && !entry.hidden) {
      level.subdirectories.push_back(std::move(entry.name));
    }
  }
}

void CBdmvFolderWalker::ScanForTargets(const platform::Directory& dir,
                                       const std::vector<platform::DirEntry>& entries,
                                       const TargetHandler& handler) {
  const std::size_t pathLength = m_path.size();
  for (const auto& entry : entries) {
    if (entry.kind != platform::EntryKind::kDirectory || entry.hidden || entry.system ||
        !platform::SameName(entry.name, m_strPattern)) {
      continue;
    }
    platform::Directory target = dir.OpenSubdirectory(entry.name);
    m_path = platform::JoinPath(m_path, entry.name);
    handler(target, m_path);
    m_path.resize(pathLength);
  }
}

void CBdmvFolderWalker::Descend(std::string name, const TargetHandler& handler,
                                PassFrontEnd* progress) {
  platform::Directory child = m_levels.back().dir.OpenSubdirectory(name);
  // A directory that cannot be entered (no access, gone, replaced by a link) is skipped.
  if (!child.IsOpen()) return;
  if (m_levels.size() > kOpenLevels) {
    Level& far = m_levels[m_levels.size() - kOpenLevels];
    far.identity = far.dir.Identity();
    far.dir.Close();
  }
  m_path = platform::JoinPath(m_path, name);
  m_levels.push_back({std::move(child), {}, std::move(name), m_path.size(), {}, 0});
  Visit(m_levels.back(), handler, progress);
}

void CBdmvFolderWalker::Ascend() {
  Level& parent = m_levels[m_levels.size() - 2];
  if (!parent.dir.IsOpen()) {
    platform::Directory up = m_levels.back().dir.OpenSubdirectory("..");
    if (!up.IsOpen() || up.Identity() != parent.identity) {
      up = ReopenFromAncestor(m_levels.size() - 2);
    }
    parent.dir = std::move(up);
    // A parent that moved away while the walk was below it is not walked further.
    if (!parent.dir.IsOpen()) parent.next = parent.subdirectories.size();
  }
  m_levels.pop_back();
  m_path.resize(m_levels.back().pathLength);
}

// Opens level `index` again by its names from the nearest open level above it, checking that
// every directory on the way is still the one that was walked.
platform::Directory CBdmvFolderWalker::ReopenFromAncestor(std::size_t index) const {
  std::size_t open = index;
  while (open > 0 && !m_levels[open].dir.IsOpen()) --open;
  platform::Directory current = m_levels[open].dir.OpenSubdirectory(".");
  for (std::size_t i = open + 1; i <= index && current.IsOpen(); ++i) {
    platform::Directory next = current.OpenSubdirectory(m_levels[i].name);
    if (next.IsOpen() && next.Identity() != m_levels[i].identity) next.Close();
    current = std::move(next);
  }
  return current;
}
