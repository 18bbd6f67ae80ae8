#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// A temporary folder below `parent`, removed with everything in it when the object goes.
class TempTree {
 public:
  explicit TempTree(const std::filesystem::path& parent = std::filesystem::temp_directory_path());
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& Root() const { return m_root; }
  std::filesystem::path operator/(const std::string& relative) const { return m_root / relative; }

  // Creates every listed directory (with its parents) below the root.
  void MakeDirectories(const std::vector<std::string>& relativePaths) const;

 private:
  std::filesystem::path m_root;
};

Bytes ReadBytes(const std::filesystem::path& file);
// Creates the file's folder too.
void WriteBytes(const std::filesystem::path& file, const Bytes& bytes);

// An index table of `size` bytes: "INDX0200", the extension-data address at offset 12, the flags
// byte at offset 44 (when the size reaches it) and a recognisable filler everywhere else.
Bytes IndexBytes(std::size_t size, std::uint8_t flags, std::uint32_t address = 0);

// The bytes a patch must leave: the length at offset 12, the extension-data block at the end,
// and the flags byte cleared when converting. Written out here, apart from the code it checks.
Bytes PatchedBytes(Bytes original, bool convert3DTo2D);

// Writes BDMV/index.bdmv and BDMV/MovieObject.bdmv below `disc`.
void MakeBdmvFolder(const std::filesystem::path& disc, const Bytes& index);

// Names the first differing offset, or says the lengths differ; empty when equal.
std::string DescribeDifference(const Bytes& expected, const Bytes& actual);

// The names in a directory, sorted.
std::vector<std::string> Names(const std::filesystem::path& directory);

void SetReadOnly(const std::filesystem::path& file, bool readOnly);

// The path as Quorvel spells it, in UTF-8 (on Windows, string() would use the ANSI code page).
std::string Utf8(const std::filesystem::path& path);

}  // namespace testing_support
