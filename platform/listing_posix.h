#pragma once

#include <sys/types.h>

#include "platform/directory.h"

namespace platform {

// What a listed name is, asked of the file system without following a link; kOther when the name
// has gone meanwhile.
EntryKind KindByStatus(int dirFd, const char* name);

bool IsDotOrDotDot(const char* name);

}  // namespace platform
