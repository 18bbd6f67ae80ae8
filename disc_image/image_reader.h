#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>
#include <vector>

#include "disc_image/image_patch.h"
#include "platform/file.h"

namespace disc_image {

inline constexpr std::size_t kSectorSize = 2048;

// Thrown by a read that a stop signal came before: whatever the reading was for is given up, and
// nothing has been written.
class ReadStopped : public std::exception {
 public:
  const char* what() const noexcept override { return "stopped while reading a disc image"; }
};

// Reads an image, which is untrusted: a read that reaches past its end refuses it as damaged.
// A failing read throws FileError. Only the bytes asked for are read, so that planning a patch
// reads a few kilobytes of an image of gigabytes. With `stoppable`, a stop signal ends the
// reading (ReadStopped), so that a pass never waits on an image that is slow to read. The
// regions in `putBack` are read as their `before` bytes: the image as a Restore would leave it.
class ImageReader {
 public:
  explicit ImageReader(const platform::File& file, bool stoppable = false,
                       std::span<const Region> putBack = {})
      : m_file(file), m_size(file.Size()), m_stoppable(stoppable), m_putBack(putBack) {}

  std::uint64_t Size() const { return m_size; }
  std::uint64_t SectorCount() const { return m_size / kSectorSize; }
  bool Holds(std::uint64_t offset, std::uint64_t length) const {
    return offset <= m_size && length <= m_size - offset;
  }

  std::vector<std::uint8_t> Read(std::uint64_t offset, std::size_t length) const;
  // The first `length` bytes of a sector.
  std::vector<std::uint8_t> ReadSector(std::uint64_t sector,
                                       std::size_t length = kSectorSize) const;

 private:
  const platform::File& m_file;
  std::uint64_t m_size;
  bool m_stoppable;
  std::span<const Region> m_putBack;
};

}  // namespace disc_image
