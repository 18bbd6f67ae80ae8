// quorvel-cli.exe on a console: every character of a folder's name and of a message is shown as
// it is, whatever the console's code page. (cli_test checks that a file gets UTF-8.)
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/utf16_win32.h"
#include "tests/support/temp_tree.h"
#include "tests/win32/console_child.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// Cyrillic, Chinese, a Latin accent and a character beyond the Basic Multilingual Plane.
const fs::path kDiscName = fs::path(u8"Фильм 电影 é \U0001F3AC");

TEST(WindowsConsoleOutputTest, NamesAndMessagesReachTheConsoleWhole) {
  TempTree tree;
  const fs::path disc = tree.Root() / kDiscName;
  MakeBdmvFolder(disc, IndexBytes(64, 0x60));
  SetReadOnly(disc / "BDMV" / "MovieObject.bdmv", true);
  const std::wstring bdmv = (disc / "BDMV").wstring();
  const std::wstring accessDenied =
      platform::Widen(std::system_category().message(ERROR_ACCESS_DENIED));
  OwnConsole console;
  ASSERT_TRUE(console.Ready());

  ConsoleChild scan = StartCliOnConsole({"--quiet", "scan", Utf8(tree.Root())});
  ASSERT_EQ(WaitForExit(scan), 0);
  ConsoleChild modify = StartCliOnConsole({"--quiet", "modify", Utf8(disc)});
  ASSERT_EQ(WaitForExit(modify), 2);

  EXPECT_EQ(console.Rows(3),
            (std::vector<std::wstring>{
                bdmv + L": index=index.bdmv patched=no flags=0x60 backup=no",
                bdmv + L": 对 一未命名文件 的存取被拒绝。 (" + accessDenied + L")", L""}));
}

}  // namespace
