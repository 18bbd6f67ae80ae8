#pragma once

#include "platform/directory.h"

namespace platform {

// Makes a new or removed name in the directory durable; throws FileError when it cannot.
void FlushDirectory(const Directory& dir);

}  // namespace platform
