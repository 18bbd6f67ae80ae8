#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "disc_image/disc_image.h"

namespace disc_image {

bool IsImageName(std::string_view name) {
  constexpr std::string_view kExtension = ".iso";
  if (name.size() <= kExtension.size()) return false;
  return std::equal(
      kExtension.begin(), kExtension.end(), name.end() - kExtension.size(),
      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::string BackupNameFor(std::string_view imageName) {
  return std::string(imageName) + ".quorvel";
}

}  // namespace disc_image
