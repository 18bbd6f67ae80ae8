#pragma once

namespace platform {

// Opens the socket bound at `name` for its status alone, or returns -1 when the name is no
// socket or the system opens sockets for nothing.
int OpenSocketForStatus(int dirFd, const char* name);

}  // namespace platform
