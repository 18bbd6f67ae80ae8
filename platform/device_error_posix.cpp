#include "platform/device_error.h"

namespace platform {

// POSIX names no device errors beyond its own.
bool IsOwnDeviceError(int) {
  return false;
}

}  // namespace platform
