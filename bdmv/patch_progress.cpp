#include "bdmv/patch_progress.h"

#include <algorithm>
#include <array>
#include <vector>

namespace patch_progress {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
constexpr std::size_t kBlockSize = index_table::kExtensionDataBlock.size();
constexpr std::uint64_t kAddressOffset = index_table::kExtensionDataAddressOffset;

}  // namespace

index_table::Header HeaderOf(const FileBytes& file) {
  std::array<std::uint8_t, index_table::kMinimumSize> first{};
  const std::size_t size = file.read(0, first);
  return index_table::ReadHeader(std::span(first).first(size));
}

index_table::Header HeaderOf(const platform::File& file) {
  return HeaderOf(BytesOf(file, 0));  // only the start is read: its size is not asked for
}

namespace {

// The block without the address that points at it: what a write in place leaves when it stops
// between the two.
bool EndsWithBlock(const FileBytes& file) {
  if (file.size < index_table::kMinimumSize + kBlockSize) return false;
  std::array<std::uint8_t, kBlockSize> tail{};
  return file.read(file.size - kBlockSize, tail) == kBlockSize &&
         std::equal(tail.begin(), tail.end(), index_table::kExtensionDataBlock.begin());
}

// Where `index` stands on the way from `original`, an unpatched index table, to its whole patch
// (with the flags byte cleared or not); nothing when it is not on that way. Each byte the patch
// changes may hold its old or its new value, whatever the order it was written in.
std::optional<Progress> Between(const FileBytes& index, const FileBytes& original,
                                std::uint8_t originalFlags) {
  const std::uint64_t length = original.size;
  if (length > index_table::kMaxPatchableLength || index.size < length ||
      index.size > length + kBlockSize) {
    return std::nullopt;
  }
  const auto address = index_table::AddressBytes(length);
  bool addressOld = true;
  bool addressNew = true;
  bool flagsKept = true;
  std::vector<std::uint8_t> nowChunk(std::min<std::uint64_t>(length, kChunkSize));
  std::vector<std::uint8_t> wasChunk(nowChunk.size());
  for (std::uint64_t offset = 0; offset < length;) {
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(length - offset, kChunkSize));
    const std::span now(nowChunk.data(), size);
    const std::span was(wasChunk.data(), size);
    if (index.read(offset, now) != size || original.read(offset, was) != size) return std::nullopt;
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint64_t at = offset + i;
      if (at >= kAddressOffset && at < kAddressOffset + address.size()) {
        const std::uint8_t patched = address[at - kAddressOffset];
        if (now[i] != was[i] && now[i] != patched) return std::nullopt;
        addressOld = addressOld && now[i] == was[i];
        addressNew = addressNew && now[i] == patched;
      } else if (at == index_table::kFlagsOffset) {
        if (now[i] != was[i] && now[i] != 0) return std::nullopt;
        flagsKept = now[i] == was[i];
      } else if (now[i] != was[i]) {
        return std::nullopt;
      }
    }
    offset += size;
  }

  const auto tailSize = static_cast<std::size_t>(index.size - length);
  std::array<std::uint8_t, kBlockSize> tail{};
  if (index.read(length, std::span(tail).first(tailSize)) != tailSize ||
      !std::equal(tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(tailSize),
                  index_table::kExtensionDataBlock.begin())) {
    return std::nullopt;
  }
  Progress progress{Stage::kUnfinished, length, originalFlags};
  if (addressOld && flagsKept && tailSize == 0) progress.stage = Stage::kUnpatched;
  if (addressNew && tailSize == kBlockSize) progress.stage = Stage::kPatched;
  return progress;
}

}  // namespace

FileBytes BytesOf(const platform::File& file) {
  return BytesOf(file, file.Size());
}

FileBytes BytesOf(const platform::File& file, std::uint64_t size) {
  return {size, [&file](std::uint64_t offset, std::span<std::uint8_t> buffer) {
            return file.ReadAt(offset, buffer);
          }};
}

FileBytes BytesOf(std::span<const std::uint8_t> content) {
  return {content.size(), [content](std::uint64_t offset, std::span<std::uint8_t> buffer) {
            if (offset >= content.size()) return std::size_t{0};
            const auto from = content.subspan(static_cast<std::size_t>(offset));
            const std::size_t size = std::min(from.size(), buffer.size());
            std::copy_n(from.begin(), size, buffer.begin());
            return size;
          }};
}

FileBytes BytesOf(const platform::File& file, std::uint64_t size,
                  const std::optional<std::vector<std::uint8_t>>& content) {
  return content ? BytesOf(*content) : BytesOf(file, size);
}

std::optional<std::vector<std::uint8_t>> ReadWhole(const platform::File& file, std::uint64_t size) {
  if (size > kWholeReadLimit) return std::nullopt;
  std::vector<std::uint8_t> content(static_cast<std::size_t>(size));
  content.resize(file.ReadAt(0, content));
  return content;
}

std::optional<FileBytes> BytesOf(const std::optional<platform::File>& file) {
  if (!file) return std::nullopt;
  return BytesOf(*file);
}

Progress Classify(const FileBytes& index, const std::optional<FileBytes>& backup) {
  if (backup) {
    const index_table::Header original = HeaderOf(*backup);
    if (original.isIndexTable && !original.IsPatched()) {
      if (const auto progress = Between(index, *backup, original.flags)) return *progress;
    }
  }
  // No backup tells what the file was: its own address has to.
  const index_table::Header header = HeaderOf(index);
  if (!header.IsPatched()) return {EndsWithBlock(index) ? Stage::kBroken : Stage::kUnpatched};
  return {header.extensionDataAddress < index.size ? Stage::kPatched : Stage::kBroken};
}

}  // namespace patch_progress
