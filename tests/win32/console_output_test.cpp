// quorvel-cli.exe on a console: every character of a folder's name and of a message is shown as
// it is, whatever the console's code page. (cli_test checks that a file gets UTF-8.)
#include <windows.h>

#include <gtest/gtest.h>

#include "cli/progress_line.h"
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

// A console that will not take terminal sequences (before Windows 10) shows no "\x1b[K": the
// progress line is cleared with blanks, a shorter line leaving nothing of a longer one.
TEST(WindowsConsoleOutputTest, TheProgressLineIsClearedWithBlanksWhereTheConsoleTakesNoSequences) {
  OwnConsole console;
  ASSERT_TRUE(SetConsoleMode(console.Screen(), ENABLE_PROCESSED_OUTPUT));
  std::FILE* err = _wfopen(L"CONOUT$", L"wb");
  ASSERT_NE(err, nullptr);
  ConsoleOutput output(err, err);
  ProgressLine line(true, output);
  line.Draw({true, 1234, 5, 0, 0, ""});
  line.Draw({false, 1234, 5, 1, 0, "/a"});
  EXPECT_EQ(console.Rows(1), std::vector<std::wstring>{L"Disc 1 of 5  /a"});
  line.Erase();
  EXPECT_EQ(console.Rows(1), std::vector<std::wstring>{L""});
  std::fclose(err);
}

}  // namespace
