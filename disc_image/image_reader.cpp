#include "disc_image/image_reader.h"

#include <algorithm>
#include <limits>

#include "disc_image/image_refusal.h"
#include "platform/stop_signals.h"

namespace disc_image {

std::vector<std::uint8_t> ImageReader::Read(std::uint64_t offset, std::size_t length) const {
  if (m_stoppable && platform::StopSignal() != 0) throw ReadStopped();
  if (!Holds(offset, length)) RefuseDamaged();
  std::vector<std::uint8_t> bytes(length);
  // An image that shrank since its size was taken is as damaged as one that was short.
  if (m_file.ReadAt(offset, bytes) != length) RefuseDamaged();
  for (const Region& region : m_putBack) {
    const std::uint64_t from = std::max(offset, region.offset);
    const std::uint64_t to = std::min(offset + length, region.offset + region.before.size());
    if (from >= to) continue;
    std::copy_n(region.before.begin() + static_cast<std::ptrdiff_t>(from - region.offset),
                to - from, bytes.begin() + static_cast<std::ptrdiff_t>(from - offset));
  }
  return bytes;
}

std::vector<std::uint8_t> ImageReader::ReadSector(std::uint64_t sector, std::size_t length) const {
  if (sector > std::numeric_limits<std::uint64_t>::max() / kSectorSize) RefuseDamaged();
  return Read(sector * kSectorSize, length);
}

}  // namespace disc_image
