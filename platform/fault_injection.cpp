#include "platform/fault_injection.h"

#include <utility>

namespace platform {
namespace {
FaultHook& Hook() {
  static FaultHook hook;
  return hook;
}
ListingFaultHook& ListingHook() {
  static ListingFaultHook hook;
  return hook;
}
}  // namespace

void SetFaultHook(FaultHook hook) {
  Hook() = std::move(hook);
}

std::error_code StepResult(IoStep step, std::error_code systemError) {
  if (!Hook()) return systemError;
  const int injected = Hook()(step);
  if (systemError || injected == 0) return systemError;
  return SystemError(injected);
}

void SetListingFaultHook(ListingFaultHook hook) {
  ListingHook() = std::move(hook);
}

std::optional<FileError> InjectedListingFault(const Directory& directory) {
  if (!ListingHook()) return std::nullopt;
  std::optional<FileError> error;
  const FileIdentity identity = directory.Identity(error);
  if (error) return error;
  const int injected = ListingHook()(identity);
  if (injected == 0) return std::nullopt;
  return FileError(SystemError(injected), FileOperation::kList);
}

}  // namespace platform
