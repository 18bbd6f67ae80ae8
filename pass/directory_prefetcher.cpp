#include "pass/directory_prefetcher.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/thread_start.h"

namespace {

// A listing this slow read the disk.
constexpr auto kSlow = std::chrono::microseconds(100);
// After this many listings without one that read the disk, there is nothing to gain.
constexpr unsigned kListingsToStop = 64;

}  // namespace

DirectoryPrefetcher::DirectoryPrefetcher(platform::Directory start, unsigned threads,
                                         std::size_t handles, bool directoriesOnly)
    : m_start(std::move(start)),
      m_threadCount(threads),
      m_handles(handles),
      m_directoriesOnly(directoriesOnly) {
  // A thread started is never lost to a vector that cannot grow.
  m_threads.reserve(threads);
}

DirectoryPrefetcher::~DirectoryPrefetcher() {
  Stop();
}

void DirectoryPrefetcher::Stop() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_engaged = false;
  }
  m_wake.notify_all();
  for (std::thread& thread : m_threads) thread.join();
  m_threads.clear();
}

bool DirectoryPrefetcher::Engage(const Key& position, std::vector<Pending> pending,
                                 std::size_t window) {
  {
    std::lock_guard lock(m_mutex);
    m_position = position;
    m_toList.clear();
    m_leftOut = false;
    QueueFound(std::move(pending));
    m_window = window;
    m_recentSlow = 0;
    m_listedSinceEngaged = 0;
    m_windowFull = m_listedAhead.size() + m_listing.size() >= m_window;
    m_engaged = true;
    m_busy = true;
  }
  StartThreads();
  if (m_threads.empty()) {
    Pause();
    return false;
  }
  m_wake.notify_all();
  return true;
}

// Threads start only when reading ahead is tried: a walk of cached directories never pays for
// them. Where the system will start no more, those that did start do the work.
void DirectoryPrefetcher::StartThreads() {
  try {
    while (m_threads.size() < m_threadCount) {
      m_threads.push_back(platform::StartThread(&DirectoryPrefetcher::Run, this));
    }
  } catch (const std::system_error&) {
    std::lock_guard lock(m_mutex);
    m_threadCount = static_cast<unsigned>(m_threads.size());
  }
}

void DirectoryPrefetcher::Widen(std::size_t window) {
  {
    std::lock_guard lock(m_mutex);
    m_window = window;
    m_windowFull = m_listedAhead.size() + m_listing.size() >= m_window;
  }
  m_wake.notify_all();
}

void DirectoryPrefetcher::Refill(std::vector<Pending> pending) {
  {
    std::lock_guard lock(m_mutex);
    m_leftOut = false;
    m_starved = false;
  }
  Add(std::move(pending));
}

void DirectoryPrefetcher::Add(std::vector<Pending> pending) {
  std::size_t queued = 0;
  {
    std::lock_guard lock(m_mutex);
    queued = QueueFound(std::move(pending));
  }
  // One thread for each directory queued: the walk adds a few at a time, and waking every thread
  // each time would cost more processor than the listings.
  for (std::size_t woken = 0; woken < std::min<std::size_t>(queued, m_threadCount); ++woken) {
    m_wake.notify_one();
  }
}

// Directories the walk found; a full list from the walk may have left more out. How many are new.
std::size_t DirectoryPrefetcher::QueueFound(std::vector<Pending> pending) {
  if (pending.size() >= kMaxQueued) m_leftOut = true;
  std::size_t queued = 0;
  for (auto& [key, path] : pending) {
    if (key <= m_position || m_listedAhead.count(key) != 0) continue;
    Queue(std::move(key), ToList{std::move(path), nullptr, {}});
    ++queued;
  }
  return queued;
}

void DirectoryPrefetcher::Queue(Key key, ToList directory) {
  m_toList.emplace(std::move(key), std::move(directory));
  if (m_toList.size() <= kMaxQueued) return;
  m_toList.erase(std::prev(m_toList.end()));
  m_leftOut = true;
}

void DirectoryPrefetcher::Pause() {
  std::lock_guard lock(m_mutex);
  m_engaged = false;
}

bool DirectoryPrefetcher::Reach(const Key& position, std::optional<Listing>& listing) {
  bool listed = false;
  bool roomAgain = false;
  listing.reset();
  {
    std::unique_lock lock(m_mutex);
    // A directory a thread is listing now: waiting for that listing costs less than a second one
    // of the same directory, which on a network share is a second request behind the first.
    m_awaited = position;
    m_listed.wait(lock, [&] {
      return std::find(m_listing.begin(), m_listing.end(), position) == m_listing.end();
    });
    m_awaited.clear();
    const auto found = m_listedAhead.find(position);
    listed = found != m_listedAhead.end();
    if (listed && found->second) {
      // What the walk takes is no longer kept here: its names count no more.
      m_keptNames -= found->second->entries.size();
      listing = std::move(found->second);
      found->second.reset();
    }
    m_position = position;
    DropPassed();
    m_starved = m_engaged && m_leftOut && m_toList.size() < kMaxQueued / 4;
    m_busy = m_engaged || !m_listing.empty() || !m_listedAhead.empty();
    // Waking the threads for each step would cost the walk more than it saves: they wait until
    // half the window is free.
    roomAgain = m_windowFull && m_listedAhead.size() + m_listing.size() < m_window / 2;
    if (roomAgain) m_windowFull = false;
  }
  if (roomAgain) m_wake.notify_all();
  return listed;
}

void DirectoryPrefetcher::DropPassed() {
  while (!m_toList.empty() && m_toList.begin()->first <= m_position) {
    m_toList.erase(m_toList.begin());
  }
  while (!m_listedAhead.empty() && m_listedAhead.begin()->first <= m_position) {
    const std::optional<Listing>& passed = m_listedAhead.begin()->second;
    if (passed) m_keptNames -= passed->entries.size();
    m_listedAhead.erase(m_listedAhead.begin());
  }
}

// A full window stops the threads from going farther ahead, not from listing a directory the walk
// visits before one listed already: the walk would wait there, with all the threads idle, as it
// does below a folder of folders on a network share. Twice the window stops even that.
bool DirectoryPrefetcher::CanListAhead() const {
  if (!m_engaged || m_toList.empty()) return false;
  if (!m_windowFull) return true;
  return !m_listedAhead.empty() && m_toList.begin()->first < m_listedAhead.rbegin()->first &&
         m_listedAhead.size() + m_listing.size() < 2 * m_window;
}

void DirectoryPrefetcher::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [&] { return m_stopping || CanListAhead(); });
    if (m_stopping) return;
    ListAhead(lock);
  }
}

// A listed directory stays open while descriptors allow: the walk need not open it again (on a
// network share, a request saved), and opening a subdirectory relative to it costs the system
// one name, where a path from the start costs one per level.
std::shared_ptr<platform::Directory> DirectoryPrefetcher::KeepOpen(platform::Directory& dir) {
  if (m_kept.fetch_add(1) >= m_handles) {
    --m_kept;
    return nullptr;
  }
  return std::shared_ptr<platform::Directory>(new platform::Directory(std::move(dir)),
                                              [this](const platform::Directory* kept) {
                                                delete kept;
                                                --m_kept;
                                              });
}

// Lists the first directory the walk will need that nobody lists yet, and queues what it holds.
void DirectoryPrefetcher::ListAhead(std::unique_lock<std::mutex>& lock) {
  auto directory = m_toList.extract(m_toList.begin());
  m_listing.push_back(directory.key());
  lock.unlock();

  const auto started = std::chrono::steady_clock::now();
  std::vector<platform::DirEntry> entries;
  ToList& what = directory.mapped();
  platform::Directory opened =
      what.parent ? what.parent->OpenSubdirectory(what.name) : m_start.OpenBelow(what.path);
  what.parent.reset();
  const bool listed = opened.IsOpen();
  const bool failed = !listed || opened.List(entries, m_directoriesOnly);
  const bool slow = std::chrono::steady_clock::now() - started >= kSlow;
  std::shared_ptr<platform::Directory> kept;
  if (!failed) kept = KeepOpen(opened);
  std::optional<FileError> error;
  const platform::FileIdentity identity =
      failed || kept ? platform::FileIdentity{} : opened.Identity(error);

  lock.lock();
  m_listing.erase(std::find(m_listing.begin(), m_listing.end(), directory.key()));
  if (m_awaited == directory.key()) m_listed.notify_all();
  if (listed) ++m_listings;
  m_recentSlow = (m_recentSlow << 1) | (slow ? 1 : 0);
  if (++m_listedSinceEngaged >= kListingsToStop && m_recentSlow == 0) {
    m_engaged = false;
    m_toList.clear();
    return;
  }
  // The walk reports what cannot be read; here it only means there is nothing to read ahead.
  if (failed || directory.key() <= m_position) return;
  // The same rule as the walk's descent, so that the keys match the walk's.
  std::uint32_t index = 0;
  for (const platform::DirEntry& entry : entries) {
    if (entry.kind != platform::EntryKind::kDirectory || entry.hidden) continue;
    Key key = directory.key();
    key.push_back(index++);
    if (!m_engaged || what.path.size() + entry.name.size() + 1 > kMaxRelativePath) continue;
    Queue(std::move(key), ToList{what.path + '/' + entry.name, kept, entry.name});
  }
  // A listing whose identity cannot be had is one the walk could not match with its own.
  std::optional<Listing>& listing = m_listedAhead[directory.key()];
  if (!error && m_keptNames + entries.size() <= kMaxKeptNames) {
    m_keptNames += entries.size();
    listing = Listing{std::move(kept), identity, std::move(entries), m_engaged};
  }
  if (m_listedAhead.size() + m_listing.size() >= m_window) m_windowFull = true;
  // One thread for each directory found; waking them all would only make them queue.
  for (std::uint32_t woken = 0; woken < std::min(index, m_threadCount); ++woken) {
    m_wake.notify_one();
  }
}
