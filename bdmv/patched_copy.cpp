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
  std::uint64_t end = length;
  for (const auto& patch : patches) end = std::max(end, patch.offset + patch.bytes.size());
  // What the patches add past the source's end goes out with its last bytes, in one write.
  std::vector<std::uint8_t> chunk(
      static_cast<std::size_t>(std::min<std::uint64_t>(end, kChunkSize)));
  for (std::uint64_t offset = 0; offset < end;) {
    const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(end - offset, kChunkSize));
    const std::span<std::uint8_t> part(chunk.data(), size);
    const auto fromSource = static_cast<std::size_t>(
        offset < length ? std::min<std::uint64_t>(length - offset, size) : 0);
    if (source.ReadAt(offset, part.first(fromSource)) != fromSource)
      throw FileError(platform::EndOfFileError(), platform::FileOperation::kRead);
    std::fill(part.begin() + static_cast<std::ptrdiff_t>(fromSource), part.end(), 0);
    ApplyPatches(part, offset, patches);
    target.Write(part);
    offset += size;
  }
}
