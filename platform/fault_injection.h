#pragma once

#include <functional>

#include "platform/directory.h"

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

// Decides, once the system has listed a directory, whether the listing fails after all: returns
// 0 or a system error number. Tests choose the directory by its identity; the hook may run on
// several threads at once.
using ListingFaultHook = std::function<int(const FileIdentity& directory)>;

void SetListingFaultHook(ListingFaultHook hook);

// The failure a listing of `directory` is to report instead of its own result, if any.
std::error_code InjectedListingFault(const Directory& directory);

}  // namespace platform
