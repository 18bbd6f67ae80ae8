#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bdmv/index_table.h"
#include "platform/file.h"

// Gives a disc file new content: the first `length` bytes of `source` with `patches` applied.
//
// The new content is written beside the file and renamed over it, so that the file holds its
// old bytes or the whole new ones, where that keeps its owner, group and permission bits. Where
// it cannot (the folder takes no new file, or the system will not give the new file the owner),
// the file is written in place instead: its backup is whole and flushed by then, so Restore can
// always mend an interrupted write.
//
// `current` is the file open for reading (none when it does not exist yet: then there is no
// in-place way); `source` may be the same file. `permissionsFrom` is the file whose owner, group
// and permission bits the result keeps. Throws FileError.
void ReplaceFileContent(const platform::Directory& folder, const std::string& name,
                        const std::string& fullPath, std::optional<platform::File>& current,
                        const platform::File& source, std::uint64_t length,
                        std::span<const index_table::BytePatch> patches,
                        const platform::File& permissionsFrom);
