#pragma once

#include <functional>

namespace platform {

// The steps of writing a file that can fail part-way; tests fail each in turn to prove that no
// interruption leaves a disc file half written.
enum class IoStep { kWrite, kFlush, kRename };

// Returned by a fault hook to make a write store fewer bytes than asked.
inline constexpr int kShortWrite = -1;

// Returns 0 to let the step run, a system error number to fail it with, or kShortWrite.
using FaultHook = std::function<int(IoStep step)>;

void SetFaultHook(FaultHook hook);

// Consulted by the platform layer before each step.
int InjectedFault(IoStep step);

}  // namespace platform
