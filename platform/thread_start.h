#pragma once

#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {

// Decides, where the program starts a thread, whether the start fails as it does under a limit
// on processes (`ulimit -u`): returns 0, or the system error number the start fails with.
// Consulted in place of the start: a thread cannot be taken back once it runs.
using ThreadStartFaultHook = std::function<int()>;

inline ThreadStartFaultHook& ThreadStartHook() {
  static ThreadStartFaultHook hook;
  return hook;
}

inline void SetThreadStartFaultHook(ThreadStartFaultHook hook) {
  ThreadStartHook() = std::move(hook);
}

// Starts a thread as std::thread does: std::system_error when the system starts none.
template <typename... Args>
std::thread StartThread(Args&&... args) {
  if (const int injected = ThreadStartHook() ? ThreadStartHook()() : 0) {
    throw std::system_error(injected, std::generic_category(), "cannot start a thread");
  }
  return std::thread(std::forward<Args>(args)...);
}

}  // namespace platform
