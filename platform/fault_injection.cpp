#include "platform/fault_injection.h"

#include <utility>

namespace platform {
namespace {
FaultHook& Hook() {
  static FaultHook hook;
  return hook;
}
}  // namespace

void SetFaultHook(FaultHook hook) {
  Hook() = std::move(hook);
}

int InjectedFault(IoStep step) {
  return Hook() ? Hook()(step) : 0;
}

}  // namespace platform
