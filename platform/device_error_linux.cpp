#include <cerrno>

#include "platform/device_error.h"

namespace platform {

// An optical drive without its disc, and a network block device that failed.
bool IsOwnDeviceError(int number) {
  return number == ENOMEDIUM || number == EREMOTEIO;
}

}  // namespace platform
