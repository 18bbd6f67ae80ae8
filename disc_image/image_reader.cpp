#include "disc_image/image_reader.h"

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
  return bytes;
}

std::vector<std::uint8_t> ImageReader::ReadSector(std::uint64_t sector, std::size_t length) const {
  if (sector > std::numeric_limits<std::uint64_t>::max() / kSectorSize) RefuseDamaged();
  return Read(sector * kSectorSize, length);
}

}  // namespace disc_image
