#pragma once

#include <cstdint>
#include <span>

#include "bdmv/index_table.h"
#include "platform/file.h"

// Copies the first `length` bytes of source into target with the patches applied; patches past
// the end extend the file. Throws FileError, the end-of-file cause when source has fewer bytes.
void CopyWithPatches(const platform::File& source, std::uint64_t length, platform::NewFile& target,
                     std::span<const index_table::BytePatch> patches = {});
