#pragma once

#include <stdexcept>

#include "disc_image/image_messages.h"

namespace disc_image {

// Why an image cannot be patched, thrown from wherever its reading finds it to the plan, which
// turns it into its refusal. Its text is one of image_messages or folder_messages.
class ImageRefusal : public std::runtime_error {
 public:
  explicit ImageRefusal(const char* message) : std::runtime_error(message) {}
};

[[noreturn]] inline void RefuseDamaged() {
  throw ImageRefusal(image_messages::kModifyDamaged);
}

}  // namespace disc_image
