#include "pass/disc_reader.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "platform/thread_start.h"

namespace {

// How often the pass, waiting for a disc, asks whether to stop.
constexpr auto kGoOnWait = std::chrono::milliseconds(20);

}  // namespace

DiscReader::DiscReader(std::size_t discs, unsigned threads, std::size_t ahead, Prepare prepare)
    : m_discs(discs), m_ahead(ahead), m_prepare(std::move(prepare)) {
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, discs));
  m_threads.reserve(threads);
  try {
    while (m_threads.size() < threads) {
      m_threads.push_back(platform::StartThread(&DiscReader::Work, this));
    }
  } catch (const std::system_error&) {
    // Where the system starts no more threads, those that did start do the work.
  }
}

DiscReader::~DiscReader() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_changed.notify_all();
  for (std::thread& thread : m_threads) thread.join();
}

std::size_t DiscReader::ReadAhead() const {
  std::lock_guard lock(m_mutex);
  return m_readAhead;
}

void DiscReader::Work() {
  for (;;) {
    std::optional<std::size_t> index;
    std::vector<PreparedDisc> retired;
    {
      std::unique_lock lock(m_mutex);
      const auto canPrepare = [&] { return m_next < m_discs && m_next <= m_taken + m_ahead; };
      m_changed.wait(lock, [&] { return m_stopping || !m_retired.empty() || canPrepare(); });
      if (!m_retired.empty()) {
        retired.swap(m_retired);
      } else if (!m_stopping) {
        index = m_next++;
      } else {
        return;
      }
    }
    if (!index) continue;  // the retired discs close here
    PreparedDisc disc = m_prepare(*index);
    std::lock_guard lock(m_mutex);
    m_ready.emplace(*index, std::move(disc));
    ++m_readAhead;
    m_changed.notify_all();
  }
}

void DiscReader::Retire(PreparedDisc disc) {
  if (m_threads.empty()) return;
  {
    std::lock_guard lock(m_mutex);
    m_retired.push_back(std::move(disc));
  }
  m_changed.notify_one();
}

std::optional<PreparedDisc> DiscReader::Take(std::size_t index, const std::function<bool()>& goOn) {
  if (m_threads.empty()) return m_prepare(index);
  std::unique_lock lock(m_mutex);
  m_taken = index;
  m_changed.notify_all();
  for (;;) {
    const auto ready = m_ready.find(index);
    if (ready != m_ready.end()) {
      PreparedDisc disc = std::move(ready->second);
      m_ready.erase(ready);
      return disc;
    }
    if (m_changed.wait_for(lock, kGoOnWait) == std::cv_status::timeout) {
      lock.unlock();
      const bool going = goOn();
      lock.lock();
      if (!going) return std::nullopt;
    }
  }
}
