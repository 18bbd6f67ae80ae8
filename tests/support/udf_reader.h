// Reads files out of a disc image through libudfread, the library players read images with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testimage {

// The file's bytes, or nothing when libudfread cannot open the volume or find the file.
// `pathInImage` is like "BDMV/index.bdmv".
std::optional<std::vector<std::uint8_t>> ReadImageFile(const std::filesystem::path& image,
                                                       const std::string& pathInImage);

}  // namespace testimage
