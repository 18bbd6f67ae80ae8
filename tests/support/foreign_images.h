// Disc images made at test time by tools other than Quorvel's own writer: genisoimage's UDF 1.02
// bridge (with or without Joliet) and pycdlib's UDF 2.60, over the disc tree of
// tests/support/bd_disc.h with a BDMV/BACKUP folder, as a disc copied to hard disk has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace foreign_images {

inline constexpr char kGenisoimage[] = "/usr/bin/genisoimage";
inline constexpr char kPython[] = "/usr/bin/python3";
inline constexpr char k7Zip[] = "/usr/bin/7zz";  // Debian package 7zip

enum class Maker { kGenisoimage, kGenisoimageJoliet, kPycdlib };

struct ImageRecipe {
  Maker maker = Maker::kGenisoimage;
  std::size_t indexLength = 0;    // 0: as testdisc::IndexTable makes it; more: padded with zeros
  bool hardLinkedBackup = false;  // BDMV/BACKUP/index.bdmv a hard link of BDMV/index.bdmv
  // Cuts the image after the last sector of the disc's files, short of its UDF partition's end.
  bool truncated = false;
};

// Why the recipe's tool cannot run here (a package to install), or "" when it can.
std::string MissingTool(Maker maker);

// The disc tree's index file, and its bytes as the recipe writes it (3D flags set).
inline constexpr char kIndexPath[] = "BDMV/index.bdmv";
std::vector<std::uint8_t> IndexBytes(const ImageRecipe& recipe);

// 7-Zip's type option for each view of the image, with the index file's path there: the UDF
// volume's, and the ISO 9660 (or Joliet) records genisoimage writes beside it.
std::vector<std::pair<std::string, std::string>> ArchiveViews(const ImageRecipe& recipe);

// Writes the disc tree below `scratch` and the image from it at `image`. Returns what went wrong
// (the tool's output), or "" when the image was made.
std::string MakeImage(const ImageRecipe& recipe, const std::filesystem::path& scratch,
                      const std::filesystem::path& image);

}  // namespace foreign_images
