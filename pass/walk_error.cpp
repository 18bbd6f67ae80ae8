#include "pass/walk_error.h"

#include <string>

namespace {

class WalkErrorCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "walk"; }
  std::string message(int) const override { return "moved or replaced during the walk"; }
};

}  // namespace

std::error_code MovedDuringWalk() {
  static const WalkErrorCategory category;
  return {1, category};
}
