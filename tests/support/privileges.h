#pragma once

#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

// Only root may give a file to another user or become one. A test that must do either skips
// elsewhere, saying so, rather than fail for a reason that is not the program's.
#define SKIP_UNLESS_ROOT(why) \
  if (geteuid() != 0) GTEST_SKIP() << "needs root to " << why

namespace testing_support {

// Permissions do not stop root: the command that runs a program as an ordinary user. As root
// that is "nobody"; anyone else is one already.
inline std::vector<std::string> AsOrdinaryUser() {
  if (geteuid() != 0) return {};
  return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
}

}  // namespace testing_support
