#pragma once

#include <system_error>

// The cause given for a directory that the walk left and could not find again where it was: it
// was moved or replaced while the walk was below it.
std::error_code MovedDuringWalk();
