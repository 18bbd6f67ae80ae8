#include "pass/directory_prefetcher.h"

#include <algorithm>
#include <system_error>

#include "platform/thread_start.h"

namespace {

// How far the threads read ahead of the walk, in directories: enough to keep a disk busy, little
// enough to stay in the cache and in memory whatever the tree.
constexpr std::size_t kWindow = 512;
// After this many listings without one that read the disk, there is nothing to gain.
constexpr unsigned kListingsToStop = 64;

}  // namespace

DirectoryPrefetcher::DirectoryPrefetcher(platform::Directory start, unsigned threads)
    : m_start(std::move(start)), m_threadCount(threads) {
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
  }
  m_wake.notify_all();
  for (std::thread& thread : m_threads) thread.join();
  m_threads.clear();
}

bool DirectoryPrefetcher::Engage(const Key& position, std::vector<Pending> pending) {
  {
    std::lock_guard lock(m_mutex);
    m_position = position;
    m_toList.clear();
    m_listedAhead.clear();
    for (Pending& directory : pending) m_toList.insert(std::move(directory));
    m_recentSlow = 0;
    m_listedSinceEngaged = 0;
    m_windowFull = false;
    m_engaged = true;
  }
  StartThreads();
  if (m_threads.empty()) {
    std::lock_guard lock(m_mutex);
    m_engaged = false;
    m_toList.clear();
    return false;
  }
  m_wake.notify_all();
  return true;
}

// Threads start only when a disk proves slow: a walk of cached directories never pays for them.
// Where the system will start no more, those that did start do the work.
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

void DirectoryPrefetcher::Advance(const Key& position) {
  bool roomAgain = false;
  {
    std::lock_guard lock(m_mutex);
    m_position = position;
    DropPassed();
    // Waking the threads for each step would cost the walk more than it saves: they wait until
    // half the window is free.
    roomAgain = m_windowFull && m_listedAhead.size() + m_inFlight < kWindow / 2;
    if (roomAgain) m_windowFull = false;
  }
  if (roomAgain) m_wake.notify_all();
}

void DirectoryPrefetcher::DropPassed() {
  while (!m_toList.empty() && m_toList.begin()->first <= m_position) {
    m_toList.erase(m_toList.begin());
  }
  while (!m_listedAhead.empty() && *m_listedAhead.begin() <= m_position) {
    m_listedAhead.erase(m_listedAhead.begin());
  }
}

bool DirectoryPrefetcher::CanListAhead() const {
  return m_engaged && !m_toList.empty() && !m_windowFull;
}

void DirectoryPrefetcher::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [&] { return m_stopping || CanListAhead(); });
    if (m_stopping) return;
    ListAhead(lock);
  }
}

// Lists the first directory the walk will need that nobody lists yet, and queues what it holds.
void DirectoryPrefetcher::ListAhead(std::unique_lock<std::mutex>& lock) {
  auto directory = m_toList.extract(m_toList.begin());
  ++m_inFlight;
  lock.unlock();

  const auto started = std::chrono::steady_clock::now();
  std::vector<platform::DirEntry> entries;
  const platform::Directory opened = m_start.OpenBelow(directory.mapped());
  const bool listed = opened.IsOpen();
  const bool failed = !listed || opened.List(entries, true);
  const bool slow = std::chrono::steady_clock::now() - started >= kSlow;

  lock.lock();
  --m_inFlight;
  if (listed) ++m_listings;
  m_recentSlow = (m_recentSlow << 1) | (slow ? 1 : 0);
  if (++m_listedSinceEngaged >= kListingsToStop && m_recentSlow == 0) {
    m_engaged = false;
    m_toList.clear();
    m_listedAhead.clear();
    return;
  }
  // The walk reports what cannot be read; here it only means there is nothing to read ahead.
  if (failed || directory.key() <= m_position) return;
  m_listedAhead.insert(directory.key());
  if (m_listedAhead.size() + m_inFlight >= kWindow) m_windowFull = true;
  // The same rule as the walk's descent, so that the keys match the walk's.
  std::uint32_t index = 0;
  for (const platform::DirEntry& entry : entries) {
    if (entry.kind != platform::EntryKind::kDirectory || entry.hidden) continue;
    Key key = directory.key();
    key.push_back(index++);
    if (directory.mapped().size() + entry.name.size() + 1 > kMaxRelativePath) continue;
    m_toList.emplace(std::move(key), directory.mapped() + '/' + entry.name);
  }
  // One thread for each directory found; waking them all would only make them queue.
  for (std::uint32_t woken = 0; woken < std::min(index, m_threadCount); ++woken) {
    m_wake.notify_one();
  }
}
