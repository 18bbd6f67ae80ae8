// The folder-path limit counts bytes of the ANSI code page, as the system's 8-bit calls spell the
// path, without a "\\?\" prefix. The cases assume code page 1252, which Wine takes by default.
#include <windows.h>

#include <gtest/gtest.h>

#include "pass/pass_guard.h"
#include "pass/passes.h"
#include "platform/path_length.h"
#include "platform/utf16_win32.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/temp_tree.h"

using namespace testing_support;

namespace {

constexpr const char* kEAcute = "\xC3\xA9";  // "é": two bytes in UTF-8, one in code page 1252

std::string Repeat(const std::string& text, std::size_t times) {
  std::string repeated;
  for (std::size_t i = 0; i < times; ++i) repeated += text;
  return repeated;
}

class WindowsPathLengthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() != 1252) GTEST_SKIP() << "the cases are counted in code page 1252";
  }
};

TEST_F(WindowsPathLengthTest, PathsAreMeasuredInTheAnsiCodePageWithoutAPrefix) {
  struct Case {
    std::string path;
    std::size_t length;
  };
  const std::vector<Case> cases = {
      {"C:\\" + Repeat(kEAcute, 200), 203},
      {"\\\\?\\C:\\Movie\\BDMV", 13},
      {"\\\\?\\UNC\\server\\share\\BDMV", 19},  // read as \\server\share\BDMV
      {"\\\\.\\C:\\Movie\\BDMV", 13},
      {"\\\\.\\UNC\\server\\share\\BDMV", 19},
      {"\\\\server\\share\\BDMV", 19},
      {"C:\\\xE4\xB8\xAD\xE6\x96\x87", 5},  // two characters the code page lacks, one byte each
      {"C:\\\xF0\x9F\x8E\xAC", 5},  // beyond the Basic Multilingual Plane: one per UTF-16 unit
      {"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(platform::NarrowPathLength(c.path), c.length);
  }
}

// Makes a BDMV folder below `root` whose full path is `length` characters long, 200 of them "é",
// through "\\?\" paths, which take any length. Returns the BDMV folder's full path.
std::wstring MakeBdmvFolderOfLength(const std::wstring& root, std::size_t length) {
  const std::wstring accents(100, L'\u00E9');
  std::vector<std::wstring> names = {accents, accents};
  // The rest in ASCII, in names short enough for any file system: root\é…\é…\a…\a…\BDMV.
  const std::size_t rest = length - root.size() - 2 * (accents.size() + 1) - 5;
  const std::size_t count = (rest + 200) / 201;
  for (std::size_t i = 0; i < count; ++i) {
    names.push_back(std::wstring((rest - count) / count + (i < (rest - count) % count), L'a'));
  }
  names.push_back(L"BDMV");
  std::wstring path = root;
  for (const auto& name : names) {
    path += L"\\" + name;
    CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
  }
  const Bytes index = IndexBytes(64, 0x60);
  HANDLE file = CreateFileW((L"\\\\?\\" + path + L"\\index.bdmv").c_str(), GENERIC_WRITE, 0,
                            nullptr, CREATE_NEW, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, index.data(), static_cast<DWORD>(index.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

TEST_F(WindowsPathLengthTest, ABdmvPathOf487BytesOrMoreIsRefused) {
  struct Case {
    std::string prefix;  // the walk starts from a "\\?\" or "\\.\" path, or from a plain one
    std::size_t length;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"", 486, false},  // 686 bytes in UTF-8
      {"", 487, true},         {"\\\\?\\", 486, false}, {"\\\\?\\", 487, true},
      {"\\\\.\\", 486, false}, {"\\\\.\\", 487, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.prefix + std::to_string(c.length));
    TempTree tree;
    const std::wstring root = tree.Root().wstring();
    const std::wstring bdmvPath = MakeBdmvFolderOfLength(root, c.length);
    ASSERT_EQ(bdmvPath.size(), c.length);
    const std::string bdmv = platform::Narrow(bdmvPath);
    const std::string& prefix = c.prefix;

    RecordingFrontEnd shown;
    RunGuarded(shown, [&] { RunModifyPass(prefix + platform::Narrow(root), 0, shown); });

    if (c.refused) {
      EXPECT_EQ(shown.Texts(),
                (std::vector<std::string>{
                    prefix + bdmv + ": BD Floder path is too long,please modify the location",
                    "Modify 0 file successful"}));
    } else {
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Modify 1 file successful"});
    }
  }
}

}  // namespace
