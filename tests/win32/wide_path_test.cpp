// Folder names outside the ANSI code page, and paths longer than the old 260-character limit.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "tests/support/pass_runner.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

TEST(WindowsWidePathTest, FoldersNamedInAnyScriptAreWalkedAndPatched) {
  TempTree tree;
  const fs::path disc = tree.Root() / fs::path(u8"电影 ☃ Ελληνικά");
  const Bytes original = IndexBytes(64, 0x60);
  MakeBdmvFolder(disc, original);

  const auto modified = ModifyTree(tree.Root(), true);

  EXPECT_EQ(modified.Texts(), std::vector<std::string>{"Modify 1 file successful"});
  EXPECT_EQ(modified.handled, std::vector<std::string>{Utf8(disc / "BDMV")});
  const Bytes patched = ReadBytes(disc / "BDMV" / "index.bdmv");
  ASSERT_EQ(patched.size(), 88u);
  EXPECT_EQ(patched[15], 64) << "the old length, at offset 12";
  EXPECT_EQ(patched[44], 0x00);
  EXPECT_EQ(RestoreTree(tree.Root()).Texts(),
            std::vector<std::string>{"Resume  1 files successful"});
  EXPECT_EQ(DescribeDifference(original, ReadBytes(disc / "BDMV" / "index.bdmv")), "");
}

// Writes a file through the platform layer, which takes paths of any length.
void WriteThrough(const platform::Directory& dir, const std::string& name, const Bytes& bytes) {
  platform::NewFile file(dir, name, name);
  file.Write(bytes);
  file.Publish(false);
}

Bytes ReadThrough(const platform::Directory& dir, const std::string& name) {
  const platform::File file = platform::File::OpenForReading(dir, name);
  Bytes bytes(static_cast<std::size_t>(file.Size()));
  bytes.resize(file.ReadAt(0, bytes));
  return bytes;
}

TEST(WindowsWidePathTest, PathsBeyond260CharactersAreWalkedAndPatched) {
  TempTree tree;
  platform::Directory dir = platform::Directory::OpenFolder(tree.Root().string());
  ASSERT_TRUE(dir.IsOpen()) << dir.OpenError()->what();
  std::string path = platform::AbsoluteFolderPath(tree.Root().string());
  while (path.size() < 300) {
    const std::string name = "a-folder-with-a-long-name";
    ASSERT_FALSE(dir.CreateSubdirectory(name));
    dir = dir.OpenSubdirectory(name);
    ASSERT_TRUE(dir.IsOpen()) << dir.OpenError()->what();
    path = platform::JoinPath(path, name);
  }
  ASSERT_FALSE(dir.CreateSubdirectory("BDMV"));
  const platform::Directory bdmv = dir.OpenSubdirectory("BDMV");
  const Bytes original = IndexBytes(100, 0x60);
  WriteThrough(bdmv, "index.bdmv", original);
  WriteThrough(bdmv, "MovieObject.bdmv", {'M', 'O', 'B', 'J'});

  const auto modified = ModifyTree(tree.Root());

  EXPECT_EQ(modified.Texts(), std::vector<std::string>{"Modify 1 file successful"});
  EXPECT_EQ(modified.handled, std::vector<std::string>{platform::JoinPath(path, "BDMV")});
  EXPECT_EQ(ReadThrough(bdmv, "index.bdmv").size(), 124u);
  EXPECT_EQ(
      DescribeDifference(original, ReadThrough(bdmv.OpenSubdirectory("BACKUP"), "index.bdmv")), "");
}

// Names ending in dots, which only a path taken as written can name, are walked from a "\\.\"
// start path as from a plain one: it is listed as a "\\?\" path, without the system's normalising.
TEST(WindowsWidePathTest, FoldersWhoseNamesEndInDotsAreWalkedFromADevicePathAsFromAPlainOne) {
  const TempTree tree(L"\\\\?\\" + fs::temp_directory_path().wstring());
  for (const char* name : {"Plain", "Dot.", "Dots.."}) {
    MakeBdmvFolder(tree / name, IndexBytes(64, 0x60));
  }
  const std::string plainRoot = tree.Root().string().substr(4);
  EXPECT_EQ(ModifyTree("\\\\.\\" + plainRoot).Texts(),
            std::vector<std::string>{"Modify 3 file successful"});
  EXPECT_EQ(RestoreTree(plainRoot).Texts(), std::vector<std::string>{"Resume  3 files successful"});
}

}  // namespace
