// quorvel-cli.exe stopped from its console: every way ends with status 130, never with a folder
// half changed or a temporary file left, and a single Ctrl+C or Ctrl+Break with the summary.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include <gtest/gtest.h>

#include "tests/support/temp_tree.h"
#include "tests/win32/console_child.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr int kDiscs = 150;

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path Disc(const TempTree& tree, int i) {
  return tree / ("disc" + std::to_string(i));
}

// Waits until the pass has patched a folder, so that the stop meets it in the middle.
bool WaitForFirstPatch(const TempTree& tree, HANDLE process) {
  for (int round = 0; round < 3000; ++round) {
    for (int i = 0; i < kDiscs; ++i) {
      if (fs::exists(Disc(tree, i) / "BDMV" / "BACKUP" / "index.bdmv")) return true;
    }
    if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) return false;
  }
  return false;
}

// Every folder is as it was or wholly patched, with its backup; returns how many are patched.
int CheckFolders(const TempTree& tree, const Bytes& original) {
  int patched = 0;
  for (int i = 0; i < kDiscs; ++i) {
    const fs::path bdmv = Disc(tree, i) / "BDMV";
    SCOPED_TRACE(bdmv.string());
    const Bytes index = ReadBytes(bdmv / "index.bdmv");
    if (index == original) {
      EXPECT_FALSE(fs::exists(bdmv / "BACKUP" / "index.bdmv"));
      continue;
    }
    ++patched;
    EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), index), "");
    EXPECT_EQ(DescribeDifference(original, ReadBytes(bdmv / "BACKUP" / "index.bdmv")), "");
  }
  for (const auto& entry : fs::recursive_directory_iterator(tree.Root())) {
    EXPECT_EQ(entry.path().filename().string().find(".quorvel-"), std::string::npos)
        << "left behind: " << entry.path().string();
  }
  return patched;
}

// The events go to the whole console, the test among it, which lets them pass.
BOOL WINAPI IgnoreStops(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

TEST(WindowsStopSignalsTest, AStopFromTheConsoleEndsWith130AndNothingHalfDone) {
  struct Case {
    const char* name;
    std::vector<DWORD> events;
    bool summary;  // a single stop ends with the summary; a second may end before it
  };
  const std::vector<Case> cases = {
      {"Ctrl+C", {CTRL_C_EVENT}, true},
      {"Ctrl+Break", {CTRL_BREAK_EVENT}, true},
      {"two Ctrl+Break", {CTRL_BREAK_EVENT, CTRL_BREAK_EVENT}, false},
      {"two Ctrl+C", {CTRL_C_EVENT, CTRL_C_EVENT}, false},
  };
  const Bytes original = IndexBytes(64, 0x60);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree tree;
    for (int i = 0; i < kDiscs; ++i) MakeBdmvFolder(Disc(tree, i), original);
    TempTree scratch;
    OwnConsole console;
    ASSERT_TRUE(console.Ready());
    SetConsoleCtrlHandler(IgnoreStops, TRUE);
    // Wine delivers Ctrl+C alone: a console that refuses the event has nothing to test.
    if (!GenerateConsoleCtrlEvent(c.events.front(), 0)) {
      std::printf("%s: not sent on this console, error %lu\n", c.name, GetLastError());
      SetConsoleCtrlHandler(IgnoreStops, FALSE);
      continue;
    }
    ConsoleChild child = StartCliOnConsole({"--threads", "1", "modify", Utf8(tree.Root())},
                                           scratch / "out", scratch / "err");
    ASSERT_TRUE(child.started);
    ASSERT_TRUE(WaitForFirstPatch(tree, child.process.hProcess));
    for (const DWORD event : c.events) GenerateConsoleCtrlEvent(event, 0);
    const int status = WaitForExit(child);
    SetConsoleCtrlHandler(IgnoreStops, FALSE);

    EXPECT_EQ(status, 130);
    const int patched = CheckFolders(tree, original);
    EXPECT_GT(patched, 0);
    EXPECT_LT(patched, kDiscs);
    const std::string out = ReadText(scratch / "out");
    if (c.summary || !out.empty()) {
      EXPECT_EQ(out, "Modify " + std::to_string(patched) + " file successful\n");
      // The stop came among the discs: each begun one was finished.
      EXPECT_EQ(ReadText(scratch / "err"), "Stopped after " + std::to_string(patched) + " of " +
                                               std::to_string(kDiscs) + " discs.\n");
    }
  }
}

}  // namespace
