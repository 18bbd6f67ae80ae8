#pragma once

#include <windows.h>

namespace platform {

// What touching a file writes back, given its present status and the time now: the write time
// becomes now and the creation and access times stay, each cut to whole seconds; of the
// attributes only the low seven bits (read-only to archive) stay, so that temporary, not content
// indexed and the like are cleared. The change time is left to the system.
FILE_BASIC_INFO TouchedStatus(const FILE_BASIC_INFO& status, LARGE_INTEGER now);

}  // namespace platform
