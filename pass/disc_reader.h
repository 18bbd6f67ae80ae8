#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "bdmv/folder_look.h"
#include "platform/directory.h"

// A disc made ready for its turn: its folder open, and for a BDMV folder the look at it.
struct PreparedDisc {
  platform::Directory folder;  // the BDMV folder, or the folder that holds the image
  std::optional<FolderLook> look;
};

// Makes the discs of a pass ready on threads of its own, a few discs ahead of the one in hand,
// so that the pass waits for its writes and not for its reads; the discs are taken one by one,
// in order. Without a thread, each disc is made ready at its turn.
class DiscReader {
 public:
  using Prepare = std::function<PreparedDisc(std::size_t index)>;

  // `threads` threads make at most `ahead` discs ready beyond the one taken last.
  DiscReader(std::size_t discs, unsigned threads, std::size_t ahead, Prepare prepare);
  // Lets go of every disc made ready and not taken.
  ~DiscReader();
  DiscReader(const DiscReader&) = delete;
  DiscReader& operator=(const DiscReader&) = delete;

  // Disc `index`, the one after the disc taken last, once it is ready. While it is not, goOn is
  // asked now and then; when it says no, nothing is returned.
  std::optional<PreparedDisc> Take(std::size_t index, const std::function<bool()>& goOn);

  // Lets go of a disc once it has been handled: on a thread, where there is one, as closing a
  // file on a share waits for the server.
  void Retire(PreparedDisc disc);

  unsigned Threads() const { return static_cast<unsigned>(m_threads.size()); }
  // How many discs the threads made ready.
  std::size_t ReadAhead() const;

 private:
  void Work();

  std::size_t m_discs;
  std::size_t m_ahead;
  Prepare m_prepare;
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::map<std::size_t, PreparedDisc> m_ready;
  std::vector<PreparedDisc> m_retired;
  std::size_t m_next = 0;   // the next disc a thread takes up
  std::size_t m_taken = 0;  // the disc the pass takes next
  std::size_t m_readAhead = 0;
  bool m_stopping = false;
  std::vector<std::thread> m_threads;
};
