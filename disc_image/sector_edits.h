#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <utility>
#include <vector>

#include "disc_image/image_patch.h"
#include "disc_image/image_reader.h"

namespace disc_image {

// The regions of a patch, made one change at a time in the order they are to be written. Each
// change works on bytes as the changes before it left them.
class SectorEdits {
 public:
  explicit SectorEdits(const ImageReader& reader) : m_reader(reader) {}

  // Changes `length` bytes at `offset`, inside one sector; the bytes the change alters, from the
  // first to the last, become the next region.
  void Edit(std::uint64_t offset, std::size_t length,
            const std::function<void(std::span<std::uint8_t>)>& change);
  // Sets bytes at image offsets: one region per sector they fall in, in the order of the first
  // byte that falls there.
  void Set(const std::vector<std::pair<std::uint64_t, std::uint8_t>>& bytes);

  std::vector<Region> Take() { return std::move(m_regions); }

 private:
  const ImageReader& m_reader;
  std::map<std::uint64_t, std::uint8_t> m_changed;  // each byte changed so far, as it now is
  std::vector<Region> m_regions;
};

}  // namespace disc_image
