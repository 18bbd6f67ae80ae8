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

int StepResult(IoStep step, int systemError) {
  if (!Hook()) return systemError;
  const int injected = Hook()(step);
  return systemError != 0 ? systemError : injected;
}

void SetListingFaultHook(ListingFaultHook hook) {
  ListingHook() = std::move(hook);
}

std::error_code InjectedListingFault(const Directory& directory) {
  if (!ListingHook()) return {};
  std::error_code error;
  const FileIdentity identity = directory.Identity(error);
  if (error) return error;
  const int injected = ListingHook()(identity);
  return injected == 0 ? std::error_code() : std::error_code(injected, std::system_category());
}

}  // namespace platform
