#include "pass/bdmv_folder_walker.h"

#include <algorithm>
#include <utility>

#include "disc_image/disc_image.h"
#include "pass/pass_front_end.h"
#include "pass/walk_error.h"
#include "platform/descriptors.h"

namespace {

using Clock = std::chrono::steady_clock;

// Descriptors left for the per-folder operations and the program itself.
constexpr std::size_t kReservedDescriptors = 10;
// Directories kept open on the way down; the rest are reopened when the walk returns to them.
constexpr std::size_t kMaxOpenLevels = 48;
}  // namespace

CBdmvFolderWalker::CBdmvFolderWalker(const std::string& startFolder, std::string pattern,
                                     bool images)
    : m_strPattern(std::move(pattern)), m_images(images) {
  platform::Directory start = platform::Directory::OpenFolder(startFolder);
  if (!start.IsOpen()) {
    EnterImage(startFolder);
    return;
  }
  m_path = platform::AbsoluteFolderPath(startFolder);
  Level& level = m_levels.Push();
  level.dir = std::move(start);
  level.pathLength = m_path.size();
}

CBdmvFolderWalker::~CBdmvFolderWalker() = default;

// A start path that names a plain file: the folder that holds it is the only level, and the file
// the only target, whatever its name; one that holds no disc is refused by the operation.
void CBdmvFolderWalker::EnterImage(const std::string& startPath) {
  std::string path = platform::AbsoluteFolderPath(startPath);
  auto [folder, name] = platform::SplitLastName(path);
  if (name.empty()) return;
  platform::Directory dir = platform::Directory::OpenFolder(folder);
  if (!dir.IsOpen() || platform::EntryKindOf(dir, name) != platform::EntryKind::kFile) return;
  m_path = std::move(path);
  m_startImage = std::move(name);
  Level& level = m_levels.Push();
  level.dir = std::move(dir);
  level.pathLength = m_path.size();
}

void CBdmvFolderWalker::HandleStartImage(const TargetHandler& handler) {
  if (Cancelled()) {
    m_stopped = true;
    return;
  }
  handler(DiscLocation::Image(m_levels.front().dir, m_startImage, m_path));
}

void CBdmvFolderWalker::Walk(const TargetHandler& handler, PassFrontEnd* frontEnd,
                             unsigned threads) {
  m_listedAhead = 0;
  m_foundListedAhead = 0;
  if (m_levels.empty()) return;
  m_frontEnd = frontEnd;
  if (!m_startImage.empty()) {
    HandleStartImage(handler);
    return;
  }
  // Half of what is free holds the way down, the rest one directory for each reading thread.
  const std::size_t free = platform::FreeDescriptors();
  const std::size_t spare = free > kReservedDescriptors ? free - kReservedDescriptors : 0;
  m_openLimit = std::clamp<std::size_t>(spare / 2, 2, kMaxOpenLevels);
  const std::size_t forThreads = spare > m_openLimit + 1 ? spare - m_openLimit - 1 : 0;
  const unsigned readers =
      threads > 1 ? static_cast<unsigned>(std::min<std::size_t>(threads, forThreads)) : 0;
  if (readers > 0) {
    platform::Directory own = m_levels.front().dir.OpenSubdirectory(".");
    const std::size_t handles =
        std::min<std::size_t>(forThreads - readers, DirectoryPrefetcher::kWindow);
    if (own.IsOpen()) {
      m_prefetcher =
          std::make_unique<DirectoryPrefetcher>(std::move(own), readers, handles, !m_images);
      m_judge = ReadAheadJudge();
    }
  }

  m_lastListed = Clock::now();
  Visit(handler, false);
  for (;;) {
    if (Cancelled()) {
      // A stop asked for once nothing is left changes nothing: the walk is whole.
      m_stopped = m_targetLeft || AnySubdirectoryLeft();
      break;
    }
    const Level& top = m_levels.back();
    if (top.next < top.subdirectories.size()) {
      Descend(handler);
    } else if (m_levels.size() > 1) {
      Ascend();
    } else {
      break;
    }
  }
  StopReadingAhead();
}

bool CBdmvFolderWalker::AnySubdirectoryLeft() const {
  for (std::size_t i = 0; i < m_levels.size(); ++i) {
    if (m_levels[i].next < m_levels[i].subdirectories.size()) return true;
  }
  return false;
}

// One listing serves the targets and the descent; targets come first.
void CBdmvFolderWalker::Visit(const TargetHandler& handler, bool listedAhead) {
  Level& level = m_levels.back();
  ++m_directoriesVisited;
  if (m_frontEnd) m_frontEnd->DirectoryVisited(m_path);
  // Images are files: only a walk that takes them lists more than the subdirectories.
  std::optional<FileError> error;
  const bool takenAhead = TakeListingAhead(level.dir);
  if (takenAhead) {
    ++m_foundListedAhead;
  } else {
    error = level.dir.List(m_entries, !m_images);
  }
  // Judged by all the walk spends on a directory, from the last listing to this one: where the
  // threads slow what the walk does besides listing, as under Wine, that counts against them.
  const auto listed = Clock::now();
  const ReadAheadJudge::Duration took = listed - m_lastListed;
  m_lastListed = listed;
  if (error) {
    // A directory that cannot be listed contributes nothing.
    ReportUnreadable(*error);
    return;
  }
  m_targets.clear();
  level.subdirectories.reserve(static_cast<std::size_t>(
      std::count_if(m_entries.begin(), m_entries.end(), [](const platform::DirEntry& entry) {
        return entry.kind == platform::EntryKind::kDirectory && !entry.hidden;
      })));
  for (auto& entry : m_entries) {
    if (IsTarget(entry)) {
      m_targets.push_back({entry.name, entry.kind == platform::EntryKind::kFile});
    }
    if (entry.kind != platform::EntryKind::kDirectory || entry.hidden) continue;
    level.subdirectories.push_back(std::move(entry.name));
  }
  JudgeReadAhead(took, listedAhead);
  if (!takenAhead || !m_subdirectoriesQueued) QueueSubdirectories();
  ScanForTargets(handler);
}

// Subdirectories the reading threads cannot know of, from a listing the walk made itself or one
// made while they were paused: without them, reading ahead would run dry below this directory.
void CBdmvFolderWalker::QueueSubdirectories() {
  if (!m_prefetcher || !m_prefetcher->Engaged()) return;
  std::vector<DirectoryPrefetcher::Pending> pending;
  AddPending(m_levels.size() - 1, pending);
  if (!pending.empty()) m_prefetcher->Add(std::move(pending));
}

// The directory a thread listed and kept open, for the walk to visit without opening it again;
// not open where none was kept. Nobody else holding it, the walk takes that very handle.
platform::Directory CBdmvFolderWalker::TakeDirectoryAhead() {
  m_directoryAhead = false;
  if (!m_listingAhead || !m_listingAhead->dir) return {};
  std::shared_ptr<platform::Directory> kept = std::move(m_listingAhead->dir);
  platform::Directory dir = kept.use_count() == 1 ? std::move(*kept) : kept->Duplicate();
  m_directoryAhead = dir.IsOpen();
  return dir;
}

// A listing made ahead serves the walk only for the very directory it lists: one taken with it,
// or one the walk opened that has the identity of the one listed.
bool CBdmvFolderWalker::TakeListingAhead(const platform::Directory& dir) {
  if (!m_listingAhead) return false;
  std::optional<FileError> error;
  const bool same = m_directoryAhead || (dir.Identity(error) == m_listingAhead->identity && !error);
  if (same) m_entries = std::move(m_listingAhead->entries);
  m_subdirectoriesQueued = m_listingAhead->subdirectoriesQueued;
  m_listingAhead.reset();
  return same;
}

// Hidden and system entries are never targets, as on the disks the walk is made for.
bool CBdmvFolderWalker::IsTarget(const platform::DirEntry& entry) const {
  if (entry.hidden || entry.system) return false;
  const bool folder = entry.kind == platform::EntryKind::kDirectory;
  const bool file = entry.kind == platform::EntryKind::kFile;
  return (folder && platform::SameName(entry.name, m_strPattern)) ||
         (file && m_images && disc_image::IsImageName(entry.name));
}

// Only a file that holds a UDF volume is a disc: a raw image or another container is no target.
// One that cannot be read is skipped and reported, as a directory is.
bool CBdmvFolderWalker::HoldsUdfVolume(const platform::Directory& dir, const std::string& name) {
  try {
    return disc_image::IsUdfImage(dir, name);
  } catch (const FileError& error) {
    ReportUnreadable(error);
    return false;
  }
}

void CBdmvFolderWalker::ScanForTargets(const TargetHandler& handler) {
  const std::size_t pathLength = m_path.size();
  const platform::Directory& dir = m_levels.back().dir;
  for (const Target& target : m_targets) {
    if (Cancelled()) {
      m_targetLeft = true;
      return;
    }
    if (target.image) {
      platform::AppendToPath(m_path, target.name);
      if (HoldsUdfVolume(dir, target.name)) handler(DiscLocation::Image(dir, target.name, m_path));
    } else {
      const platform::Directory folder = OpenWithinLimit(dir, target.name);
      platform::AppendToPath(m_path, target.name);
      handler(DiscLocation::BdmvFolder(folder, m_path));
    }
    m_path.resize(pathLength);
  }
}

void CBdmvFolderWalker::Descend(const TargetHandler& handler) {
  Level& parent = m_levels.back();
  const std::size_t index = parent.next++;
  std::string name = std::move(parent.subdirectories[index]);
  m_key.push_back(static_cast<std::uint32_t>(index));
  const bool listedAhead =
      m_prefetcher && m_prefetcher->Busy() && m_prefetcher->Reach(m_key, m_listingAhead);
  platform::Directory child = TakeDirectoryAhead();
  if (!child.IsOpen()) child = OpenWithinLimit(parent.dir, name);
  const std::size_t parentLength = m_path.size();
  platform::AppendToPath(m_path, name);
  if (!child.IsOpen()) {
    ReportUnreadable(*child.OpenError());
    m_path.resize(parentLength);
    m_key.pop_back();
    return;
  }
  Level& level = m_levels.Push();
  level.dir = std::move(child);
  level.name = std::move(name);
  level.pathLength = m_path.size();
  while (OpenLevels() > m_openLimit && CloseFarLevel()) {
  }
  Visit(handler, listedAhead);
}

void CBdmvFolderWalker::Ascend() {
  const std::size_t parent = m_levels.size() - 2;
  if (parent > 0 && !m_levels[parent].dir.IsOpen()) m_levels[parent].dir = Reopen(parent);
  m_levels.Pop();
  m_key.pop_back();
  m_path.resize(m_levels.back().pathLength);
  Level& level = m_levels.back();
  if (parent == 0 || level.dir.IsOpen()) {
    m_firstOpen = std::min(m_firstOpen, parent);
    m_firstOpen = std::max<std::size_t>(m_firstOpen, 1);
    return;
  }
  // What is left of a directory that cannot be found again is not walked.
  ReportUnreadable(*level.dir.OpenError());
  level.next = level.subdirectories.size();
  m_firstOpen = m_levels.size();
}

// Opens a subdirectory; where the descriptors run out, a level far above gives its one back.
platform::Directory CBdmvFolderWalker::OpenWithinLimit(const platform::Directory& parent,
                                                       const std::string& name) {
  for (;;) {
    platform::Directory dir = parent.OpenSubdirectory(name);
    const bool outOfDescriptors =
        dir.OpenError() && dir.OpenError()->code() == std::errc::too_many_files_open;
    if (!outOfDescriptors || !CloseFarLevel()) return dir;
  }
}

// Closes the open level farthest above the visited one, keeping the start folder and the visited
// directory open.
bool CBdmvFolderWalker::CloseFarLevel() {
  if (m_firstOpen + 1 >= m_levels.size()) return false;
  Level& far = m_levels[m_firstOpen];
  std::optional<FileError> error;
  const platform::FileIdentity identity = far.dir.Identity(error);
  // A directory that could not be checked once reopened stays open.
  if (error) return false;
  far.identity = identity;
  far.dir.Close();
  ++m_firstOpen;
  return true;
}

// Opens level `index` again: through ".." from the level below it, or else by name from the
// start folder, checking every directory on the way against the one that was walked. Not open,
// with the cause, when it cannot be found again.
platform::Directory CBdmvFolderWalker::Reopen(std::size_t index) const {
  const Level& below = m_levels[index + 1];
  if (below.dir.IsOpen()) {
    platform::Directory up = below.dir.OpenSubdirectory("..");
    if (up.IsOpen() && !NotTheWalkedOne(up, index)) return up;
  }
  platform::Directory current;
  const platform::Directory* from = &m_levels.front().dir;
  for (std::size_t i = 1; i <= index; ++i) {
    platform::Directory next = from->OpenSubdirectory(m_levels[i].name);
    if (!next.IsOpen()) return next;
    if (std::optional<FileError> other = NotTheWalkedOne(next, i)) {
      return platform::Directory::Unopened(std::move(*other));
    }
    current = std::move(next);
    from = &current;
  }
  return current;
}

// Why `found`, opened where level `index` was, is not the directory walked there: it is another,
// or its identity cannot be had. Nothing when it is the same.
std::optional<FileError> CBdmvFolderWalker::NotTheWalkedOne(const platform::Directory& found,
                                                            std::size_t index) const {
  const Level& level = m_levels[index];
  std::optional<FileError> error;
  const platform::FileIdentity walked =
      level.dir.IsOpen() ? level.dir.Identity(error) : level.identity;
  if (error) return error;
  const platform::FileIdentity identity = found.Identity(error);
  if (error) return error;
  if (identity == walked) return std::nullopt;
  return FileError(MovedDuringWalk(), platform::FileOperation::kOpen, level.name);
}

void CBdmvFolderWalker::ReportUnreadable(const FileError& cause) {
  if (m_frontEnd) m_frontEnd->FolderUnreadable(m_path, cause.Description());
}

// Reading ahead starts, stays and stops by what it saves the walk's own listings.
void CBdmvFolderWalker::JudgeReadAhead(ReadAheadJudge::Duration took, bool listedAhead) {
  if (!m_prefetcher) return;
  switch (m_judge.Listed(took, m_prefetcher->Engaged(), listedAhead)) {
    case ReadAheadJudge::Verdict::kGoOn:
      if (m_prefetcher->Starved()) m_prefetcher->Refill(PendingBelowStart());
      return;
    case ReadAheadJudge::Verdict::kTry:
      // Without a thread to read ahead, the walk goes on alone.
      if (!m_prefetcher->Engage(m_key, PendingBelowStart(), DirectoryPrefetcher::kProbeWindow)) {
        StopReadingAhead();
      }
      return;
    case ReadAheadJudge::Verdict::kConfirm:
      m_prefetcher->Widen(DirectoryPrefetcher::kWindow);
      return;
    case ReadAheadJudge::Verdict::kResume:
      m_prefetcher->Engage(m_key, PendingBelowStart(), DirectoryPrefetcher::kWindow);
      return;
    case ReadAheadJudge::Verdict::kStop:
      m_prefetcher->Pause();
      return;
  }
}

// The directories found and not yet visited that the walk visits first, as many as the read-ahead
// queue takes: the rest of the deepest level first, then of each level above it.
std::vector<DirectoryPrefetcher::Pending> CBdmvFolderWalker::PendingBelowStart() const {
  std::vector<DirectoryPrefetcher::Pending> pending;
  for (std::size_t i = m_levels.size(); i-- > 0 && AddPending(i, pending);) {
  }
  return pending;
}

// Adds the subdirectories of level `index` not yet visited, while the read-ahead queue takes
// them; false once it is full. A level too deep for the threads to open adds none.
bool CBdmvFolderWalker::AddPending(std::size_t index,
                                   std::vector<DirectoryPrefetcher::Pending>& pending) const {
  const Level& level = m_levels[index];
  // From the names, not the visited path: a name may hold what a start path ends with.
  std::string relative;
  for (std::size_t i = 1; i <= index; ++i) {
    if (i > 1) relative += '/';
    relative += m_levels[i].name;
  }
  if (relative.size() > DirectoryPrefetcher::kMaxRelativePath) return true;
  DirectoryPrefetcher::Key key(m_key.begin(), m_key.begin() + static_cast<std::ptrdiff_t>(index));
  for (std::size_t j = level.next; j < level.subdirectories.size(); ++j) {
    if (pending.size() == DirectoryPrefetcher::kMaxQueued) return false;
    key.push_back(static_cast<std::uint32_t>(j));
    const std::string& name = level.subdirectories[j];
    pending.emplace_back(key, relative.empty() ? name : relative + '/' + name);
    key.pop_back();
  }
  return true;
}

void CBdmvFolderWalker::StopReadingAhead() {
  if (!m_prefetcher) return;
  m_prefetcher->Stop();
  m_listedAhead += m_prefetcher->Listings();
  m_prefetcher.reset();
}
