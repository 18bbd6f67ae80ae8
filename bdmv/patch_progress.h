#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "bdmv/index_table.h"
#include "platform/file.h"

// How far an index file has come from its backup towards the whole patch of that backup. An
// interrupted write in place (a full disk, a kill, a failing disk, another tool) can leave it
// anywhere on that way; a pass must finish such a file, never count it as done or patch it twice.
namespace patch_progress {

enum class Stage {
  kUnpatched,   // no extension data: a patch may start
  kUnfinished,  // between its backup and the whole patch of it: the patch is to be completed
  kPatched,     // the whole patch, or extension data another tool put inside the file
  kBroken,      // half patched, and no backup tells what it was: nothing can finish it
};

struct Progress {
  Stage stage = Stage::kUnpatched;
  // For kUnfinished: the backup's length, where the block belongs, and its flags byte.
  std::uint64_t originalLength = 0;
  std::uint8_t originalFlags = 0;
};

// The bytes of a file as they are compared: its size, and a read at an offset that returns
// fewer bytes than asked only at the end.
struct FileBytes {
  std::uint64_t size;
  std::function<std::size_t(std::uint64_t offset, std::span<std::uint8_t> buffer)> read;
};

FileBytes BytesOf(const platform::File& file);
// Of a file whose size is known already, as a stamp tells it.
FileBytes BytesOf(const platform::File& file, std::uint64_t size);
std::optional<FileBytes> BytesOf(const std::optional<platform::File>& file);

// Bytes already read, kept alive by the caller.
FileBytes BytesOf(std::span<const std::uint8_t> content);
// The file's bytes as `content` holds them when it was read whole, else as the file gives them.
FileBytes BytesOf(const platform::File& file, std::uint64_t size,
                  const std::optional<std::vector<std::uint8_t>>& content);

// The whole of a file of `size` bytes no longer than kWholeReadLimit, in one read: a file system
// far away answers one request for it, where reads of its parts wait for one each. None for a
// longer file. A file that shrank meanwhile gives what it still holds.
inline constexpr std::uint64_t kWholeReadLimit = 1 << 20;
std::optional<std::vector<std::uint8_t>> ReadWhole(const platform::File& file, std::uint64_t size);

// What the start of the file says of it.
index_table::Header HeaderOf(const platform::File& file);
index_table::Header HeaderOf(const FileBytes& file);

// Where `index`, an index table, stands; `backup` is the folder's backup of it, if there is one.
Progress Classify(const FileBytes& index, const std::optional<FileBytes>& backup);

}  // namespace patch_progress
