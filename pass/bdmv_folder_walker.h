#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pass/directory_prefetcher.h"
#include "pass/disc_location.h"
#include "pass/pass_front_end.h"
#include "pass/read_ahead_judge.h"
#include "platform/directory.h"
#include "platform/file_error.h"

// Walks a folder tree depth first and hands every directory named like the pattern to a
// handler, and with `images` every disc image file too. It works relative to open directories:
// the process's working directory never moves, links are never followed, and depth is bounded by
// memory, not by file descriptors or the stack. A directory it cannot open, list or find again is
// skipped and reported to the front end.
class CBdmvFolderWalker {
 public:
  using TargetHandler = std::function<void(const DiscLocation& disc)>;

  // Directories listed at once on a cold disk; 1 lists one at a time.
  static constexpr unsigned kDefaultThreads = 16;

  // A start path that names a plain file, not a folder, is a walk over that image alone.
  CBdmvFolderWalker(const std::string& startFolder, std::string pattern, bool images = false);
  virtual ~CBdmvFolderWalker();
  CBdmvFolderWalker(const CBdmvFolderWalker&) = delete;
  CBdmvFolderWalker& operator=(const CBdmvFolderWalker&) = delete;

  // False when the start folder could not be entered; Walk then visits nothing.
  bool Entered() const { return !m_levels.empty(); }

  // Visits the start folder and every non-hidden directory below it, until the front end asks
  // to cancel. A directory's targets, in the order of its listing, come before its
  // subdirectories. A BDMV folder is handed to the handler even when it cannot be opened, so
  // that its operation can report it. A file is a target when it is a plain, visible file with
  // an image's name that holds a UDF volume; one that cannot be read is reported and skipped.
  void Walk(const TargetHandler& handler, PassFrontEnd* frontEnd = nullptr,
            unsigned threads = kDefaultThreads);

  // How many directories the reading threads listed ahead of the last Walk, and how many of them
  // the walk took as they were listed instead of listing them itself.
  std::uint64_t ListedAhead() const { return m_listedAhead; }
  std::uint64_t FoundListedAhead() const { return m_foundListedAhead; }

  // After Walk: whether the front end stopped it before it had visited everything, and how many
  // directories it visited, the start folder included.
  bool Stopped() const { return m_stopped; }
  std::size_t DirectoriesVisited() const { return m_directoriesVisited; }

 private:
  struct Level {
    platform::Directory dir;          // closed while the level is far above the walk
    platform::FileIdentity identity;  // taken when dir is closed, to check the reopened one
    std::string name;
    std::size_t pathLength = 0;
    std::vector<std::string> subdirectories;
    std::size_t next = 0;
  };

  // The levels on the way down. A level left keeps its storage for the next one taken at that
  // depth, so that walking a directory allocates nothing once the walk has been that deep.
  class LevelStack {
   public:
    Level& Push() {
      if (m_size == m_storage.size()) m_storage.emplace_back();
      return m_storage[m_size++];
    }
    void Pop() {
      Level& level = m_storage[--m_size];
      level.dir.Close();
      level.identity = {};
      level.subdirectories.clear();
      level.next = 0;
    }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    Level& operator[](std::size_t index) { return m_storage[index]; }
    const Level& operator[](std::size_t index) const { return m_storage[index]; }
    Level& front() { return m_storage.front(); }
    const Level& front() const { return m_storage.front(); }
    Level& back() { return m_storage[m_size - 1]; }

   private:
    std::vector<Level> m_storage;
    std::size_t m_size = 0;
  };

  struct Target {
    std::string name;
    bool image = false;  // a disc image file, else a BDMV folder
  };

  platform::Directory TakeDirectoryAhead();
  bool TakeListingAhead(const platform::Directory& dir);
  void QueueSubdirectories();
  bool IsTarget(const platform::DirEntry& entry) const;
  bool HoldsUdfVolume(const platform::Directory& dir, const std::string& name);
  void EnterImage(const std::string& startPath);
  void HandleStartImage(const TargetHandler& handler);
  void Visit(const TargetHandler& handler, bool listedAhead);
  void ScanForTargets(const TargetHandler& handler);
  std::size_t OpenLevels() const { return 1 + m_levels.size() - m_firstOpen; }
  void Descend(const TargetHandler& handler);
  void Ascend();
  platform::Directory OpenWithinLimit(const platform::Directory& parent, const std::string& name);
  bool CloseFarLevel();
  platform::Directory Reopen(std::size_t index) const;
  std::optional<FileError> NotTheWalkedOne(const platform::Directory& found,
                                           std::size_t index) const;
  void ReportUnreadable(const FileError& cause);
  bool Cancelled() const { return m_frontEnd && m_frontEnd->CancelRequested(); }
  bool AnySubdirectoryLeft() const;
  void JudgeReadAhead(ReadAheadJudge::Duration took, bool listedAhead);
  std::vector<DirectoryPrefetcher::Pending> PendingBelowStart() const;
  bool AddPending(std::size_t index, std::vector<DirectoryPrefetcher::Pending>& pending) const;
  void StopReadingAhead();

  std::string m_strPattern;
  bool m_images = false;
  std::string m_startImage;  // the image's name in the start level, when the start is one
  std::string m_path;        // the directory being visited
  // The start folder, then the directories on the way down to the one visited. The start
  // folder and levels from m_firstOpen on are open; those between were closed to stay within
  // the descriptor limit.
  LevelStack m_levels;
  std::size_t m_firstOpen = 1;
  std::size_t m_openLimit = 2;
  std::vector<platform::DirEntry> m_entries;  // reused for every listing
  std::vector<Target> m_targets;              // of the directory being visited
  PassFrontEnd* m_frontEnd = nullptr;
  std::unique_ptr<DirectoryPrefetcher> m_prefetcher;
  std::optional<DirectoryPrefetcher::Listing> m_listingAhead;  // of the directory being entered
  bool m_directoryAhead = false;        // that directory's handle came with its listing
  bool m_subdirectoriesQueued = false;  // and its subdirectories are queued for the threads
  ReadAheadJudge m_judge;
  std::chrono::steady_clock::time_point m_lastListed;  // when the walk last had a listing
  std::uint64_t m_listedAhead = 0;
  std::uint64_t m_foundListedAhead = 0;
  DirectoryPrefetcher::Key m_key;  // the visited directory's place in the walk
  std::size_t m_directoriesVisited = 0;
  bool m_targetLeft = false;  // a stop came before the last target of a directory
  bool m_stopped = false;
};
