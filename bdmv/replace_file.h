#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bdmv/index_table.h"
#include "platform/file.h"

// What became of a disc file that was to take new content.
enum class Replacement {
  kDone,
  // Left as it was, because writing it in place, the only way left, would change more than the
  // folder's file: the file has other names (hard links), or it would lose its set-id bits.
  kFileHasOtherNames,
  kModeWouldChange,
};

// Gives a disc file new content: the first `length` bytes of `source` with `patches` applied.
//
// The new content is written beside the file and renamed over it, so that the file holds its
// old bytes or the whole new ones, where that keeps its owner, group and permission bits. Where
// it cannot (the folder takes no new file, or the system will not give the new file the owner),
// the file is written in place instead: its backup is whole and flushed by then, so Restore can
// always mend an interrupted write, and the patches past `length` (the block) go first, so that
// no interruption leaves an address pointing at nothing.
//
// `current` is the file open for reading (none when it does not exist yet: then there is no
// in-place way); `source` may be the same file. `permissionsFrom` is the file whose owner, group
// and permission bits the result keeps. Throws FileError.
Replacement ReplaceFileContent(const platform::Directory& folder, const std::string& name,
                               const std::string& fullPath, std::optional<platform::File>& current,
                               const platform::File& source, std::uint64_t length,
                               std::span<const index_table::BytePatch> patches,
                               const platform::File& permissionsFrom);
