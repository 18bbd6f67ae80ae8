#include "tests/support/temp_tree.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {

TempTree::TempTree(const fs::path& parent) {
  // A name no other test has taken: create_directory reports whether it made the folder.
  static std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path root = parent / ("quorvel-test-" + std::to_string(random()));
    if (fs::create_directory(root)) {
      m_root = root;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempTree::~TempTree() {
  std::error_code ignored;
  // Read-only files and folders left by a test must not stop the clean-up.
  for (auto it = fs::recursive_directory_iterator(m_root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink())
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(m_root, ignored);
}

void TempTree::MakeDirectories(const std::vector<std::string>& relativePaths) const {
  for (const auto& relative : relativePaths) fs::create_directories(m_root / relative);
}

// In one read: disc images run to megabytes, which a byte-wise copy reads slowly in a debug build.
Bytes ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  Bytes bytes(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) throw std::runtime_error("cannot read " + file.string());
  return bytes;
}

void WriteBytes(const fs::path& file, const Bytes& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

Bytes IndexBytes(std::size_t size, std::uint8_t flags, std::uint32_t address) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(0x80 + i % 64);
  const std::string head = "INDX0200";
  std::copy_n(head.begin(), std::min(head.size(), size), bytes.begin());
  for (std::size_t i = 0; i < 4 && 12 + i < size; ++i) {
    bytes[12 + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
  }
  if (size > 44) bytes[44] = flags;
  return bytes;
}

Bytes PatchedBytes(Bytes original, bool convert3DTo2D) {
  const auto length = static_cast<std::uint32_t>(original.size());
  for (int i = 0; i < 4; ++i) original[12 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  if (convert3DTo2D) original[44] = 0x00;
  const Bytes block = {0,    0, 0, 0x18, 0, 0, 0, 0x18, 0, 0, 0, 1,
                       0x10, 0, 1, 0,    0, 0, 0, 0x18, 0, 0, 0, 0};
  original.insert(original.end(), block.begin(), block.end());
  return original;
}

void MakeBdmvFolder(const fs::path& disc, const Bytes& index) {
  fs::create_directories(disc / "BDMV");
  WriteBytes(disc / "BDMV" / "index.bdmv", index);
  WriteBytes(disc / "BDMV" / "MovieObject.bdmv", {'M', 'O', 'B', 'J', '0', '2', '0', '0'});
}

std::string DescribeDifference(const Bytes& expected, const Bytes& actual) {
  const std::size_t common = std::min(expected.size(), actual.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (expected[i] != actual[i]) {
      return "byte " + std::to_string(i) + " is " + std::to_string(actual[i]) + ", expected " +
             std::to_string(expected[i]);
    }
  }
  if (expected.size() != actual.size()) {
    return "length is " + std::to_string(actual.size()) + ", expected " +
           std::to_string(expected.size());
  }
  return {};
}

std::vector<std::string> Names(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void SetReadOnly(const fs::path& file, bool readOnly) {
  fs::permissions(file, fs::perms::owner_write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace testing_support
