#pragma once

namespace platform {

// Whether an error number of the system's own, beyond POSIX's EIO, ENXIO and ENODEV, says that a
// device failed or has no medium in it.
bool IsOwnDeviceError(int number);

}  // namespace platform
