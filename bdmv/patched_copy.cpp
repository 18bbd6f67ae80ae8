#include "bdmv/patched_copy.h"

#include <algorithm>
#include <vector>

#include "platform/file_error.h"

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

// Writes the bytes of every patch that fall inside chunk, which holds the file from offset on.
void ApplyPatches(std::span<std::uint8_t> chunk, std::uint64_t offset,
                  std::span<const index_table::BytePatch> patches) {
  for (const auto& patch : patches) {
    for (std::size_t i = 0; i < patch.bytes.size(); ++i) {
      const std::uint64_t at = patch.offset + i;
      if (at >= offset && at < offset + chunk.size()) chunk[at - offset] = patch.bytes[i];
    }
  }
}

}  // namespace

void CopyWithPatches(const platform::File& source, std::uint64_t length, platform::NewFile& target,
                     std::span<const index_table::BytePatch> patches) {
  std::vector<std::uint8_t> chunk(
      static_cast<std::size_t>(std::min<std::uint64_t>(length, kChunkSize)));
  for (std::uint64_t offset = 0; offset < length;) {
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(length - offset, kChunkSize));
    std::span<std::uint8_t> part(chunk.data(), size);
    if (source.ReadAt(offset, part) != size)
      throw FileError(platform::EndOfFileError(), platform::FileOperation::kRead);
    ApplyPatches(part, offset, patches);
    target.Write(part);
    offset += size;
  }

  std::uint64_t end = length;
  for (const auto& patch : patches) end = std::max(end, patch.offset + patch.bytes.size());
  if (end == length) return;
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(end - length), 0);
  ApplyPatches(tail, length, patches);
  target.Write(tail);
}
