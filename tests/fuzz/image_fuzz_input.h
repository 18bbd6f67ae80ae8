// How one fuzz input holds a disc image and, optionally, the file beside it: the image's bytes,
// then kBeside and the file's bytes when there is one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace image_fuzz {

inline constexpr std::string_view kBeside = "\n--- disc.iso.quorvel ---\n";

struct Input {
  std::span<const std::uint8_t> image;
  std::optional<std::span<const std::uint8_t>> beside;
};

inline Input Split(std::span<const std::uint8_t> bytes) {
  const auto at = std::search(bytes.begin(), bytes.end(), kBeside.begin(), kBeside.end());
  if (at == bytes.end()) return {bytes, std::nullopt};
  return {{bytes.begin(), at},
          std::span(at + static_cast<std::ptrdiff_t>(kBeside.size()), bytes.end())};
}

inline std::vector<std::uint8_t> Join(std::vector<std::uint8_t> image,
                                      const std::vector<std::uint8_t>& beside) {
  image.insert(image.end(), kBeside.begin(), kBeside.end());
  image.insert(image.end(), beside.begin(), beside.end());
  return image;
}

}  // namespace image_fuzz
