#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/directory.h"

// Lists, on a few I/O threads, the directories that a depth-first walk will visit next, so that a
// cold disk always has many requests in flight and the walk finds what it needs in the system's
// cache. It only reads: the walk still opens and lists every directory itself, so its order and
// its results are those of a walk without it. Nothing is opened through a link.
class DirectoryPrefetcher {
 public:
  // A directory's place in the walk: the index of each subdirectory on the way from the start
  // folder. Walk order is the order of these keys.
  using Key = std::vector<std::uint32_t>;
  // A directory the walk has found and not yet visited, by its key and its path below the start.
  using Pending = std::pair<Key, std::string>;

  // Deeper directories are left to the walk: the system opens no longer relative path.
  static constexpr std::size_t kMaxRelativePath = 4000;

  // `start` is a handle of its own on the start folder.
  DirectoryPrefetcher(platform::Directory start, unsigned threads);
  ~DirectoryPrefetcher();
  DirectoryPrefetcher(const DirectoryPrefetcher&) = delete;
  DirectoryPrefetcher& operator=(const DirectoryPrefetcher&) = delete;

  // A listing or a visit this slow read the disk.
  static constexpr auto kSlow = std::chrono::microseconds(100);

  // Whether the threads are reading ahead; they stop once what they read comes from the cache.
  bool Engaged() const { return m_engaged.load(std::memory_order_relaxed); }

  // Starts reading ahead from the walk's position, beginning with the directories it has found.
  // False, and nothing is read ahead, when the system starts no thread (a limit on processes);
  // the threads that did start serve every later engagement.
  bool Engage(const Key& position, std::vector<Pending> pending);

  // The walk has reached `position`: what lies before it is no longer needed.
  void Advance(const Key& position);

  // Ends the threads' work and waits for them; nothing is read ahead afterwards.
  void Stop();

  // How many directories the threads listed; final once stopped.
  std::uint64_t Listings() const {
    std::lock_guard lock(m_mutex);
    return m_listings;
  }

 private:
  void StartThreads();
  void Run();
  void ListAhead(std::unique_lock<std::mutex>& lock);
  void DropPassed();
  bool CanListAhead() const;

  platform::Directory m_start;
  unsigned m_threadCount;
  std::vector<std::thread> m_threads;
  mutable std::mutex m_mutex;
  std::condition_variable m_wake;
  std::atomic<bool> m_engaged{false};
  bool m_stopping = false;
  Key m_position;
  std::map<Key, std::string> m_toList;  // found, not listed, not yet passed by the walk
  std::set<Key> m_listedAhead;          // listed, not yet passed by the walk
  unsigned m_inFlight = 0;
  bool m_windowFull = false;       // set when the window fills, cleared when half of it is free
  std::uint64_t m_recentSlow = 0;  // one bit for each of the last 64 listings: it read the disk
  unsigned m_listedSinceEngaged = 0;
  std::uint64_t m_listings = 0;
};
