#pragma once

#include <functional>
#include <system_error>

#include "platform/directory.h"

namespace platform {

// The system calls of reading and writing a disc file whose failure a pass must survive. A test
// fails each in turn, after the call has run, so that what is tested is the code that reads the
// call's result; no interruption may leave a disc file half written.
enum class IoStep {
  kRead,    // reading a file
  kCreate,  // creating a temporary file
  kWrite,
  kFlush,  // of a file or of its directory
  kChown,  // giving a new file its original's owner (on Windows, its access list)
  kRename,
  kNoReplaceFlag,  // asked before a rename that must not replace: failing it takes the flag away
  kLink,           // the no-replace rename without the flag: a second name...
  kUnlink,         // ...and the removal of the first
  kTime,           // setting a file's time
  kChmod,          // setting a file's mode again after a write in place
  kRemove,         // removing a file that has done its job
};

// Returns 0 to let the step's result stand, or a system error number to fail it with.
using FaultHook = std::function<int(IoStep step)>;

void SetFaultHook(FaultHook hook);

// The error a step is to report: `systemError` when the call failed (cleared when it did not),
// or else the failure a test injected after the call ran.
std::error_code StepResult(IoStep step, std::error_code systemError);

// Decides, once the system has listed a directory, whether the listing fails after all: returns
// 0 or a system error number. Tests choose the directory by its identity; the hook may run on
// several threads at once.
using ListingFaultHook = std::function<int(const FileIdentity& directory)>;

void SetListingFaultHook(ListingFaultHook hook);

// The failure a listing of `directory` is to report instead of its own result, if any.
std::optional<FileError> InjectedListingFault(const Directory& directory);

}  // namespace platform
