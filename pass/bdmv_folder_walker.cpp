#include "pass/bdmv_folder_walker.h"

#include <utility>
#include <vector>

#include "pass/disc_search.h"

CBdmvFolderWalker::CBdmvFolderWalker(const std::string& startFolder, std::string pattern,
                                     bool images)
    : m_strPattern(std::move(pattern)), m_images(images) {
  platform::Directory start = platform::Directory::OpenFolder(startFolder);
  if (!start.IsOpen()) {
    EnterImage(startFolder);
    return;
  }
  m_path = platform::AbsoluteFolderPath(startFolder);
  m_start = std::move(start);
}

CBdmvFolderWalker::~CBdmvFolderWalker() = default;

// A start path that names a plain file: the folder that holds it is the start, and the file the
// only target, whatever its name; one that holds no disc is refused by the operation.
void CBdmvFolderWalker::EnterImage(const std::string& startPath) {
  std::string path = platform::AbsoluteFolderPath(startPath);
  auto [folder, name] = platform::SplitLastName(path);
  if (name.empty()) return;
  platform::Directory dir = platform::Directory::OpenFolder(folder);
  if (!dir.IsOpen() || platform::EntryKindOf(dir, name) != platform::EntryKind::kFile) return;
  m_path = std::move(path);
  m_startImage = std::move(name);
  m_start = std::move(dir);
}

std::string CBdmvFolderWalker::ShownPath(const std::string& relative) const {
  std::string path = m_path;
  for (std::size_t start = 0; start < relative.size();) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    platform::AppendToPath(path, std::string_view(relative).substr(start, end - start));
    start = end + 1;
  }
  return path;
}

void CBdmvFolderWalker::Walk(const TargetHandler& handler, PassFrontEnd* frontEnd,
                             unsigned threads) {
  if (!Entered()) return;
  const auto stopRequested = [&] { return frontEnd && frontEnd->CancelRequested(); };
  if (!m_startImage.empty()) {
    m_targetsFound = 1;
    if (frontEnd) frontEnd->DiscsFound(1);
    m_stopped = stopRequested();
    if (m_stopped) return;
    m_targetsBegun = 1;
    handler(DiscLocation::Image(m_start, m_startImage, m_path));
    return;
  }

  DiscSearch search(m_start, m_strPattern, m_images);
  std::vector<Finding> findings = search.Run(threads, frontEnd);
  m_directoriesVisited = search.DirectoriesVisited();
  m_threadsUsed = search.ThreadsUsed();
  m_foundAgain = search.FoundAgain();
  if (search.Stopped()) {
    m_stopped = m_stoppedSearching = true;
    return;
  }
  for (const Finding& finding : findings) {
    if (finding.kind != Finding::Kind::kUnreadable) ++m_targetsFound;
  }
  if (frontEnd) frontEnd->DiscsFound(m_targetsFound);

  for (const Finding& finding : findings) {
    const std::string path = ShownPath(finding.relative);
    if (finding.kind == Finding::Kind::kUnreadable) {
      if (frontEnd) frontEnd->FolderUnreadable(path, finding.cause->Description());
      continue;
    }
    if (stopRequested()) {
      m_stopped = true;
      return;
    }
    ++m_targetsBegun;
    if (finding.kind == Finding::Kind::kBdmvFolder) {
      const platform::Directory folder = m_start.OpenBelow(finding.relative);
      handler(DiscLocation::BdmvFolder(folder, path));
      continue;
    }
    // An image in the start folder is reached through it; one below, through its folder.
    const std::size_t slash = finding.relative.rfind('/');
    const std::string name = finding.relative.substr(slash + 1);
    platform::Directory below;
    if (slash != std::string::npos) below = m_start.OpenBelow(finding.relative.substr(0, slash));
    handler(DiscLocation::Image(slash == std::string::npos ? m_start : below, name, path));
  }
}
