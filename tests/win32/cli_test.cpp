// quorvel-cli.exe as a script on Windows sees it: the same bytes as on Linux, whatever script
// the folder names are in.
#include <gtest/gtest.h>

#include "tests/support/cli_runner.h"
#include "tests/support/temp_tree.h"

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

}  // namespace
