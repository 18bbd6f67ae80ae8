#include "pass/bdmv_folder_walker.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "disc_image/image_reader.h"
#include "pass/disc_reader.h"
#include "pass/disc_search.h"
#include "platform/descriptors.h"

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

void CBdmvFolderWalker::Walk(const TargetHandler& handler, PassFrontEnd* frontEnd, unsigned threads,
                             const Looks& looks) {
  if (!Entered()) return;
  const auto stopRequested = [&] { return frontEnd && frontEnd->CancelRequested(); };
  if (!m_startImage.empty()) {
    m_targetsFound = 1;
    if (frontEnd) frontEnd->DiscsFound(1);
    m_stopped = stopRequested();
    if (m_stopped) return;
    m_targetsBegun = 1;
    HandImage(handler, DiscLocation::Image(m_start, m_startImage, m_path));
    return;
  }

  DiscSearch search(m_start, m_strPattern, m_images, looks.inSearch);
  std::vector<Finding> findings = search.Run(threads, frontEnd);
  m_directoriesVisited = search.DirectoriesVisited();
  m_threadsUsed = search.ThreadsUsed();
  m_foundAgain = search.FoundAgain();
  if (search.Stopped()) {
    m_stopped = m_stoppedSearching = true;
    return;
  }
  // A disc whose search look is all its operation needs is handed over with it; the others are
  // made ready ahead, in order.
  const auto settled = [&](const Finding& finding) {
    return finding.look && looks.enough && looks.enough(*finding.look, ShownPath(finding.relative));
  };
  std::vector<Finding*> discs;
  std::size_t settledDiscs = 0;
  for (Finding& finding : findings) {
    if (finding.kind == Finding::Kind::kUnreadable) continue;
    ++settledDiscs;
    if (!settled(finding)) discs.push_back(&finding);
  }
  m_targetsFound = settledDiscs;
  settledDiscs -= discs.size();
  if (frontEnd) frontEnd->DiscsFound(m_targetsFound);

  // The writes stay on this thread, one disc at a time; the threads read the next discs.
  const unsigned readers = threads > 1 ? threads - 1 : 0;
  DiscReader reader(discs.size(), readers, DiscsAhead(readers),
                    [&](std::size_t index) { return Prepare(*discs[index], looks.beforeTurn); });
  m_discReaders = reader.Threads();
  const platform::Directory notOpened;
  std::size_t next = 0;
  for (const Finding& finding : findings) {
    const std::string path = ShownPath(finding.relative);
    if (finding.kind == Finding::Kind::kUnreadable) {
      if (frontEnd) {
        frontEnd->FolderUnreadable(
            path, finding.cause->Description(),
            finding.image ? UnreadableKind::kImage : UnreadableKind::kFolder);
      }
      continue;
    }
    if (stopRequested()) {
      m_stopped = true;
      break;
    }
    if (next == discs.size() || discs[next] != &finding) {
      ++m_targetsBegun;
      handler(DiscLocation::BdmvFolder(notOpened, path, finding.look.get()));
      continue;
    }
    std::optional<PreparedDisc> disc = reader.Take(next++, [&] { return !stopRequested(); });
    if (!disc) {
      m_stopped = true;
      break;
    }
    ++m_targetsBegun;
    FolderLook* look = disc->look ? &*disc->look : nullptr;
    if (finding.kind == Finding::Kind::kBdmvFolder) {
      handler(DiscLocation::BdmvFolder(disc->folder, path, look));
    } else {
      const std::string name = finding.relative.substr(finding.relative.rfind('/') + 1);
      if (!HandImage(handler, DiscLocation::Image(disc->folder, name, path))) break;
    }
    reader.Retire(std::move(*disc));
  }
  m_discsSettledInSearch = settledDiscs;
  m_discsReadAhead = reader.ReadAhead();
}

bool CBdmvFolderWalker::HandImage(const TargetHandler& handler, const DiscLocation& image) {
  try {
    handler(image);
    return true;
  } catch (const disc_image::ReadStopped&) {
    --m_targetsBegun;
    m_stopped = true;
    return false;
  }
}

// Opens the disc's folder, and looks at a BDMV folder as the pass asks: a BDMV folder below the
// start folder, or the folder that holds an image.
PreparedDisc CBdmvFolderWalker::Prepare(Finding& disc, std::optional<LookDepth> lookAhead) const {
  PreparedDisc prepared;
  const std::string& relative = disc.relative;
  if (disc.kind == Finding::Kind::kImage) {
    const std::size_t slash = relative.rfind('/');
    prepared.folder = slash == std::string::npos ? m_start.OpenSubdirectory(".")
                                                 : m_start.OpenBelow(relative.substr(0, slash));
    return prepared;
  }
  prepared.folder = m_start.OpenBelow(relative);
  if (prepared.folder.IsOpen() && disc.look) {
    // What the search read stands; the operation checks it against the file it then holds.
    prepared.look.emplace(std::move(*disc.look));
    if (lookAhead == LookDepth::kIndexToChange) OpenIndexToChange(prepared.folder, *prepared.look);
  } else if (prepared.folder.IsOpen() && lookAhead) {
    prepared.look.emplace(LookAtFolder(prepared.folder, *lookAhead));
  }
  return prepared;
}

// Discs made ready ahead hold their folder, BACKUP, index file and backup open: as many as the
// descriptors allow beside what the operations themselves open, a few for each thread.
std::size_t CBdmvFolderWalker::DiscsAhead(unsigned readers) {
  constexpr std::size_t kReserved = 32;
  constexpr std::size_t kPerDisc = 4;
  const std::size_t free = platform::FreeDescriptors();
  const std::size_t room = free > kReserved ? (free - kReserved) / kPerDisc : 0;
  return std::min<std::size_t>(room, 2 * std::size_t{readers});
}
