#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/directory.h"

// Lists, on a few I/O threads, the directories that a depth-first walk will visit next, so that a
// slow file system always has many requests in flight. It only reads: the walk still opens every
// directory itself and takes a listing made ahead only for the directory it opened, so its order
// and its results are those of a walk without it. Nothing is opened through a link.
class DirectoryPrefetcher {
 public:
  // A directory's place in the walk: the index of each subdirectory on the way from the start
  // folder. Walk order is the order of these keys.
  using Key = std::vector<std::uint32_t>;
  // A directory the walk has found and not yet visited, by its key and its path below the start.
  using Pending = std::pair<Key, std::string>;

  // A directory listed ahead, as the walk would have listed it: the walk takes the directory kept
  // open where descriptors allowed, else it opens it and checks that it is the one listed.
  struct Listing {
    std::shared_ptr<platform::Directory> dir;
    platform::FileIdentity identity;  // without the directory kept open
    std::vector<platform::DirEntry> entries;
    bool subdirectoriesQueued = false;  // to be listed ahead in turn
  };

  // Deeper directories are left to the walk: the system opens no longer relative path.
  static constexpr std::size_t kMaxRelativePath = 4000;
  // How far the threads read ahead of the walk, in directories: enough to keep a disk or a
  // network busy, little enough to stay in the cache and in memory whatever the tree.
  static constexpr std::size_t kWindow = 512;
  // While read-ahead is only being tried: enough to show a gain, little to waste where there is
  // none.
  static constexpr std::size_t kProbeWindow = 64;

  // Names kept from listings made ahead, at most: beyond it the walk lists for itself.
  static constexpr std::size_t kMaxKeptNames = 16384;
  // Directories waiting to be listed, at most: those farthest ahead of the walk are left out, and
  // found again from the walk when the queue runs low. Memory stays small in the widest folder.
  static constexpr std::size_t kMaxQueued = 4096;

  // `start` is a handle of its own on the start folder. Up to `handles` descriptors beyond one a
  // thread keep listed directories open, for the walk and for their subdirectories to open
  // relative to them.
  // Directories are listed as the walk lists them: with `directoriesOnly`, only subdirectories.
  DirectoryPrefetcher(platform::Directory start, unsigned threads, std::size_t handles,
                      bool directoriesOnly);
  ~DirectoryPrefetcher();
  DirectoryPrefetcher(const DirectoryPrefetcher&) = delete;
  DirectoryPrefetcher& operator=(const DirectoryPrefetcher&) = delete;

  // Whether the threads are reading ahead; they stop by themselves once what they read comes
  // from the cache.
  bool Engaged() const { return m_engaged.load(std::memory_order_relaxed); }

  // Whether anything was read ahead that the walk has not passed, or is being read: otherwise the
  // walk need not tell where it is.
  bool Busy() const { return m_busy.load(std::memory_order_relaxed); }

  // Starts reading ahead, at most `window` directories, from the walk's position, beginning with
  // the directories it has found. False, and nothing is read ahead, when the system starts no
  // thread (a limit on processes); the threads that did start serve every later engagement.
  bool Engage(const Key& position, std::vector<Pending> pending, std::size_t window);

  // Lets the threads read up to `window` directories ahead from now on.
  void Widen(std::size_t window);

  // Whether directories were left out of a queue that is now running low: the walk then hands
  // them over again with Refill.
  bool Starved() const { return m_starved.load(std::memory_order_relaxed); }
  void Refill(std::vector<Pending> pending);

  // Directories found by the walk itself, to be read ahead too.
  void Add(std::vector<Pending> pending);

  // The threads take no more directories; what they listed is still known to Reach.
  void Pause();

  // The walk is about to list the directory at `position`: what lies before it is no longer
  // needed. True when the threads listed it already; their listing, when they kept it, goes to
  // `listing`.
  bool Reach(const Key& position, std::optional<Listing>& listing);

  // Ends the threads' work and waits for them; nothing is read ahead afterwards.
  void Stop();

  // How many directories the threads listed; final once stopped.
  std::uint64_t Listings() const {
    std::lock_guard lock(m_mutex);
    return m_listings;
  }

 private:
  // A directory to list: by its parent, when that was kept open, else by its path.
  struct ToList {
    std::string path;
    std::shared_ptr<const platform::Directory> parent;
    std::string name;
  };

  void StartThreads();
  void Run();
  void ListAhead(std::unique_lock<std::mutex>& lock);
  std::shared_ptr<platform::Directory> KeepOpen(platform::Directory& dir);
  void DropPassed();
  void Queue(Key key, ToList directory);
  std::size_t QueueFound(std::vector<Pending> pending);
  bool CanListAhead() const;

  platform::Directory m_start;
  unsigned m_threadCount;
  std::vector<std::thread> m_threads;
  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::atomic<bool> m_engaged{false};
  bool m_stopping = false;
  Key m_position;
  const std::size_t m_handles;
  std::atomic<std::size_t> m_kept{0};  // listed directories kept open; before what holds them
  std::map<Key, ToList> m_toList;      // found, not listed, not yet passed by the walk
  // Listed, not yet passed by the walk; without a listing where it was not kept.
  std::map<Key, std::optional<Listing>> m_listedAhead;
  std::size_t m_keptNames = 0;
  bool m_leftOut = false;  // the queue was full when a directory was found
  std::atomic<bool> m_starved{false};
  std::atomic<bool> m_busy{false};
  const bool m_directoriesOnly;
  std::size_t m_window = kWindow;
  std::vector<Key> m_listing;  // the keys of the directories being listed now
  Key m_awaited;               // the one the walk waits for, if any
  std::condition_variable m_listed;
  bool m_windowFull = false;       // set when the window fills, cleared when half of it is free
  std::uint64_t m_recentSlow = 0;  // one bit for each of the last 64 listings: it read the disk
  unsigned m_listedSinceEngaged = 0;
  std::uint64_t m_listings = 0;
};
