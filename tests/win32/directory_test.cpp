// Opening directories by name inside an open directory, and below it, as the walk does: what opens
// is the directory named, listed through the path it keeps, and what does not open says why.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/directory.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string kWideName = reinterpret_cast<const char*>(u8"电影 ☃ Ελληνικά");

platform::FileIdentity IdentityOf(const platform::Directory& dir) {
  std::optional<FileError> error;
  const platform::FileIdentity identity = dir.Identity(error);
  EXPECT_FALSE(error) << error->what();
  return identity;
}

std::vector<std::string> Listed(const platform::Directory& dir) {
  std::vector<platform::DirEntry> entries;
  const auto error = dir.List(entries);
  EXPECT_FALSE(error) << error->what();
  std::vector<std::string> names;
  for (const platform::DirEntry& entry : entries) names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

// The names in a directory as the standard library lists them, in UTF-8, sorted.
std::vector<std::string> NamesIn(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(Utf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Checks that `opened` is the directory at `expected`, and that its listing, made through the
// path it keeps, is that directory's.
void ExpectOpens(const platform::Directory& opened, const fs::path& expected) {
  ASSERT_TRUE(opened.IsOpen()) << opened.OpenError()->what();
  const platform::Directory reference = platform::Directory::OpenFolder(Utf8(expected));
  ASSERT_TRUE(reference.IsOpen()) << reference.OpenError()->what();
  EXPECT_EQ(IdentityOf(opened), IdentityOf(reference));
  EXPECT_EQ(Listed(opened), NamesIn(expected));
}

TEST(WindowsDirectoryTest, OpensSubdirectoriesAndPathsBelowByName) {
  TempTree tree;
  const fs::path root = tree.Root() / "start";
  const fs::path wide = root / fs::path(std::u8string(u8"电影 ☃ Ελληνικά"));
  fs::create_directories(root / "sub" / "inner");
  fs::create_directories(wide / "inner");
  WriteBytes(root / "sub" / "inner" / "index.bdmv", {1, 2, 3});
  WriteBytes(root / "file", {});
  WriteBytes(wide / "inner" / "notes.txt", {});
  const platform::Directory start = platform::Directory::OpenFolder(Utf8(root));
  ASSERT_TRUE(start.IsOpen()) << start.OpenError()->what();

  struct Case {
    std::string name;
    DWORD error;      // 0 where it opens
    fs::path opens;   // what it opens
    std::string why;  // what the failure names
  };
  const std::vector<Case> subdirectories = {
      {"sub", 0, root / "sub", ""},
      {"SUB", 0, root / "sub", ""},
      {kWideName, 0, wide, ""},
      {".", 0, root, ""},
      {"..", 0, tree.Root(), ""},
      {"file", ERROR_DIRECTORY, {}, "file"},
      {"missing", ERROR_FILE_NOT_FOUND, {}, "missing"},
  };
  // Each call either opens the directory named or fails with the system's code and the name
  // it could not open.
  const auto expect = [](const Case& c, const platform::Directory& opened) {
    if (c.error == 0) return ExpectOpens(opened, c.opens);
    ASSERT_FALSE(opened.IsOpen());
    EXPECT_EQ(opened.OpenError()->code().value(), static_cast<int>(c.error))
        << opened.OpenError()->what();
    EXPECT_EQ(opened.OpenError()->Path(), c.why);
  };
  for (const Case& c : subdirectories) {
    SCOPED_TRACE("OpenSubdirectory(\"" + c.name + "\")");
    expect(c, start.OpenSubdirectory(c.name));
  }

  const std::vector<Case> below = {
      {"sub/inner", 0, root / "sub" / "inner", ""},
      {"sub\\inner", 0, root / "sub" / "inner", ""},
      {kWideName + "/inner", 0, wide / "inner", ""},
      {"sub/inner/..", 0, root / "sub", ""},
      {"sub/inner/index.bdmv", ERROR_DIRECTORY, {}, "index.bdmv"},
      {"sub/missing/inner", ERROR_FILE_NOT_FOUND, {}, "missing"},
  };
  for (const Case& c : below) {
    SCOPED_TRACE("OpenBelow(\"" + c.name + "\")");
    expect(c, start.OpenBelow(c.name));
  }
}

// Makes `junction`, an empty directory, a junction to `target`; false where the file system
// cannot hold one.
bool MakeJunction(const fs::path& junction, const fs::path& target) {
  fs::create_directory(junction);
  const std::wstring substitute = L"\\??\\" + fs::absolute(target).wstring();
  const std::size_t pathBytes = substitute.size() * sizeof(wchar_t);
  // REPARSE_DATA_BUFFER for a mount point: tag, data length, reserved, then the substitute name
  // and an empty print name, each ended by a null character.
  std::vector<char> buffer(16 + pathBytes + 2 * sizeof(wchar_t), '\0');
  const auto put16 = [&](std::size_t offset, std::size_t value) {
    const WORD word = static_cast<WORD>(value);
    std::memcpy(buffer.data() + offset, &word, sizeof word);
  };
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(buffer.data(), &tag, sizeof tag);
  put16(4, buffer.size() - 8);
  put16(10, pathBytes);                    // substitute name length
  put16(12, pathBytes + sizeof(wchar_t));  // print name offset
  std::memcpy(buffer.data() + 16, substitute.c_str(), pathBytes);
  HANDLE handle = CreateFileW(junction.wstring().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  const BOOL made =
      DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                      static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
  CloseHandle(handle);
  return made;
}

TEST(WindowsDirectoryTest, JunctionsAreOpenedAsThemselvesAndRefused) {
  TempTree tree;
  fs::create_directories(tree / "target" / "inside");
  fs::create_directory(tree / "start");
  if (!MakeJunction(tree / "start" / "junction", tree / "target")) {
    GTEST_SKIP() << "this file system holds no junction (Wine's cannot)";
  }
  const platform::Directory start = platform::Directory::OpenFolder(Utf8(tree / "start"));
  ASSERT_TRUE(start.IsOpen()) << start.OpenError()->what();

  for (const char* path : {"junction", "junction/inside"}) {
    SCOPED_TRACE(path);
    const platform::Directory opened = start.OpenBelow(path);
    ASSERT_FALSE(opened.IsOpen());
    EXPECT_EQ(opened.OpenError()->code().value(), ERROR_CANT_ACCESS_FILE);
    EXPECT_EQ(opened.OpenError()->Path(), "junction");
  }
}

}  // namespace
