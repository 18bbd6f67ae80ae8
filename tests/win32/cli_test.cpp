// quorvel-cli.exe as a script on Windows sees it: the same bytes as on Linux, whatever script
// the folder names are in; paths as Windows users write them; its version record.
#include <windows.h>

#include <shellapi.h>

#include <optional>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/utf16_win32.h"
#include "tests/support/cli_runner.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

TEST(WindowsCliTest, ArgumentsAndOutputAreUtf8AndLinesEndInLineFeeds) {
  TempTree tree;
  const fs::path disc = tree.Root() / fs::path(u8"Фильм 电影");
  MakeBdmvFolder(disc, IndexBytes(64, 0x60));
  const std::string bdmv = Utf8(disc / "BDMV");

  auto run = Cli({"modify", "--2d", Utf8(disc)});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "Modify 1 file successful\n");
  EXPECT_EQ(run.err, "");

  run = Cli({"scan", Utf8(tree.Root())});
  EXPECT_EQ(run.out, bdmv + ": index=index.bdmv patched=yes flags=0x00 backup=yes\n");

  run = Cli({"restore", Utf8(tree.Root() / "missing")});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Floder Path ERR.\n");

  fs::create_directories(tree / "empty" / "BDMV");
  run = Cli({"restore", Utf8(tree.Root())});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, "Resume  1 files successful\n");
  EXPECT_EQ(run.err,
            Utf8(tree / "empty" / "BDMV") + ": modify Fail,Please check if path is correct\n");
}

// An index file another program holds without sharing cannot be read: whether it is patched is
// unknown, and the scan says why and ends in status 1.
TEST(WindowsCliTest, AnIndexFileHeldWithoutSharingIsUnknownAndCounted) {
  TempTree tree;
  MakeBdmvFolder(tree / "a", IndexBytes(64, 0x60));
  const std::string bdmv = Utf8(tree / "a" / "BDMV");
  HANDLE held = CreateFileW((tree / "a" / "BDMV" / "index.bdmv").wstring().c_str(), GENERIC_READ, 0,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const std::string cause = std::system_category().message(ERROR_SHARING_VIOLATION);

  auto run = Cli({"scan", Utf8(tree.Root())});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.out, bdmv + ": index=index.bdmv patched=unknown flags=unknown backup=no\n");
  EXPECT_EQ(run.err, bdmv + ": cannot read this folder (" + cause + ")\n");

  run = Cli({"--json", "scan", Utf8(tree.Root())});
  EXPECT_EQ(run.exitStatus, 1);
  const auto document = nlohmann::json::parse(run.out);
  EXPECT_EQ(document["folders"][0]["patched"], nullptr);
  EXPECT_EQ(document["folders"][0]["flags"], nullptr);
  EXPECT_EQ(document["unreadable"], nlohmann::json::array({{{"path", bdmv}, {"cause", cause}}}));
  CloseHandle(held);
}

// Writes through a "\\?\" path, which names files that other paths cannot.
void WriteVerbatim(const std::wstring& file, const Bytes& bytes) {
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(handle);
}

Bytes ReadVerbatim(const std::wstring& file) {
  HANDLE handle =
      CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  Bytes bytes(1024);
  DWORD count = 0;
  ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr);
  CloseHandle(handle);
  bytes.resize(count);
  return bytes;
}

// A folder made through a "\\?\" path, and removed through one: other paths cannot reach it.
class VerbatimFolder {
 public:
  explicit VerbatimFolder(std::wstring path) : m_path(std::move(path)) {
    CreateDirectoryW(m_path.c_str(), nullptr);
  }
  VerbatimFolder(const VerbatimFolder&) = delete;
  VerbatimFolder& operator=(const VerbatimFolder&) = delete;
  ~VerbatimFolder() { Remove(m_path); }

 private:
  static void Remove(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    while (find != INVALID_HANDLE_VALUE) {
      const std::wstring name = entry.cFileName;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (name != L"." && name != L"..") Remove(folder + L"\\" + name);
      } else {
        DeleteFileW((folder + L"\\" + name).c_str());
      }
      if (!FindNextFileW(find, &entry)) break;
    }
    FindClose(find);
    RemoveDirectoryW(folder.c_str());
  }

  std::wstring m_path;
};

// An image found by the walk, or named alone, is patched in place and restored to its bytes,
// whatever script its name is in.
TEST(WindowsCliTest, ADiscImageIsPatchedInPlaceAndRestoredWhole) {
  TempTree tree;
  const fs::path image = tree.Root() / fs::path(u8"Фильм 电影.ISO");
  testimage::WriteImage(image, testimage::DiscFiles(0x60), {});
  const Bytes original = ReadBytes(image);

  auto run = Cli({"modify", "--images", Utf8(tree.Root())});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "Modify 1 file successful\n");
  EXPECT_NE(ReadBytes(image), original);

  run = Cli({"scan", Utf8(image)});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, Utf8(image) + ": index=BDMV/index.bdmv patched=yes flags=0x60 backup=yes\n");

  run = Cli({"restore", Utf8(image)});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "Resume  1 files successful\n");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(image)), "");
}

TEST(WindowsCliTest, AVerbatimPathNamesTheFolderExactlyAsWritten) {
  TempTree tree;
  const Bytes original = IndexBytes(64, 0x60);
  MakeBdmvFolder(tree / "movie", original);
  // "movie." is a folder of its own, which only a "\\?\" path can name.
  const std::wstring dotted = L"\\\\?\\" + tree.Root().wstring() + L"\\movie.";
  const VerbatimFolder folder(dotted);
  ASSERT_TRUE(CreateDirectoryW((dotted + L"\\BDMV").c_str(), nullptr));
  WriteVerbatim(dotted + L"\\BDMV\\index.bdmv", original);

  auto run = Cli({"modify", platform::Narrow(dotted)});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, "Modify 1 file successful\n");
  EXPECT_EQ(ReadVerbatim(dotted + L"\\BDMV\\index.bdmv").size(), 88u);
  EXPECT_EQ(DescribeDifference(original, ReadBytes(tree / "movie" / "BDMV" / "index.bdmv")), "");

  run = Cli({"scan", platform::Narrow(dotted)});
  EXPECT_EQ(run.out, platform::Narrow(dotted) +
                         "\\BDMV: index=index.bdmv patched=yes flags=0x60 backup=yes\n");
}

// Under Wine a path beginning with "/" is a Unix path, so "/" leads every folder there.
std::optional<std::string> WineUnixPath(const fs::path& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!unixFileName) return std::nullopt;
  char* name = unixFileName(path.wstring().c_str());
  if (!name) return std::nullopt;
  std::string unixPath = name;
  HeapFree(GetProcessHeap(), 0, name);
  return unixPath;
}

TEST(WindowsCliTest, AFolderBeginningWithASlashIsNoOption) {
  TempTree tree;
  MakeBdmvFolder(tree / "Movies", IndexBytes(64, 0x60));
  const std::optional<std::string> slashed = WineUnixPath(tree / "Movies");
  if (!slashed) GTEST_SKIP() << "names a folder beginning with \"/\" only under Wine";
  ASSERT_EQ(slashed->front(), '/');

  const auto run = Cli({"scan", *slashed});

  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.out, Utf8(tree / "Movies" / "BDMV") +
                         ": index=index.bdmv patched=no flags=0x60 backup=no\n");
}

TEST(WindowsCliTest, QuorvelCliCarriesItsVersionRecordAndTheIcon) {
  const std::wstring cli = platform::FullPath(platform::Widen(QUORVEL_CLI_PATH));
  std::vector<BYTE> record(GetFileVersionInfoSizeW(cli.c_str(), nullptr));
  ASSERT_FALSE(record.empty());
  ASSERT_TRUE(
      GetFileVersionInfoW(cli.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
  const std::vector<std::pair<std::wstring, std::wstring>> strings = {
      {L"FileDescription", L"quorvel-cli"},      {L"InternalName", L"quorvel-cli"},
      {L"OriginalFilename", L"quorvel-cli.EXE"}, {L"ProductName", L"quorvel program"},
      {L"FileVersion", L"2, 0, 0, 0"},           {L"ProductVersion", L"2, 0, 0, 0"},
  };
  for (const auto& [name, value] : strings) {
    SCOPED_TRACE(platform::Narrow(name));
    wchar_t* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), (L"\\StringFileInfo\\080904b0\\" + name).c_str(),
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), value);
  }
  EXPECT_EQ(ExtractIconExW(cli.c_str(), -1, nullptr, nullptr, 0), 1u);
}

}  // namespace
