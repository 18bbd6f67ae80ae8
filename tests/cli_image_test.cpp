#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/fault_injection.h"
#include "platform/stop_signals.h"
#include "tests/support/bd_disc.h"
#include "tests/support/cli_as_nobody.h"
#include "tests/support/cli_in_process.h"
#include "tests/support/cli_runner.h"
#include "tests/support/privileges.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"
#include "tests/support/udf_reader.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// A folder disc and two disc images below one folder, and a file with an image's name that
// holds no disc. Each command is run on the tree in turn, in the order of the table.
class CliImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeBdmvFolder(tree / "folder", IndexBytes(64, 0x60));
    for (const fs::path& image : {a, b}) {
      fs::create_directories(image.parent_path());
      testimage::WriteImage(image, testimage::DiscFiles(0x60), {});
    }
    WriteBytes(tree / "notes.iso", Bytes(300 * 2048, 'n'));
    original = ReadBytes(a);
  }
  std::string Root() const { return tree.Root().string(); }

  TempTree tree;
  const fs::path a = tree / "a.iso";
  const fs::path b = tree / "sub" / "B.ISO";
  const std::string bdmv = (tree / "folder" / "BDMV").string();
  Bytes original;
};

TEST_F(CliImageTest, ImagesBelowTheFolderAreHandledLikeFoldersOnlyWithImages) {
  const std::string notUdf = "Modify Fail,file is not a UDF disc image";
  struct Case {
    std::vector<std::string> arguments;
    int exitStatus;
    std::vector<std::string> out;  // compared sorted: the walk's order is the file system's
    std::string err = {};
  };
  const std::vector<Case> cases = {
      {{"scan", "--images", Root()},
       0,
       {a.string() + ": index=BDMV/index.bdmv patched=no flags=0x60 backup=no",
        b.string() + ": index=BDMV/index.bdmv patched=no flags=0x60 backup=no",
        bdmv + ": index=index.bdmv patched=no flags=0x60 backup=no"}},
      {{"modify", Root()}, 0, {"Modify 1 file successful"}},
      {{"modify", "--images", "--2d", Root()}, 0, {"Modify 3 file successful"}},
      {{"scan", "--images", Root()},
       0,
       {a.string() + ": index=BDMV/index.bdmv patched=yes flags=0x00 backup=yes",
        b.string() + ": index=BDMV/index.bdmv patched=yes flags=0x00 backup=yes",
        bdmv + ": index=index.bdmv patched=yes flags=0x60 backup=yes"}},
      {{"restore", Root()}, 0, {"Resume  1 files successful"}},
      {{"restore", "--images", Root()}, 0, {"Resume  3 files successful"}},
      {{"modify", "--images", (tree / "notes.iso").string()},
       1,
       {"Modify 0 file successful"},
       (tree / "notes.iso").string() + ": " + notUdf + "\n"},
  };
  for (const Case& c : cases) {
    const auto run = CliInProcess(c.arguments);
    const std::string trace = testing::PrintToString(c.arguments);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << trace << run.err;
    std::vector<std::string> expected = c.out;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedLines(run.out), expected) << trace;
    EXPECT_EQ(run.err, c.err) << trace;
  }
  EXPECT_EQ(DescribeDifference(original, ReadBytes(a)), "");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(b)), "");
  EXPECT_EQ(Names(tree.Root()), (std::vector<std::string>{"a.iso", "folder", "notes.iso", "sub"}));
  EXPECT_EQ(Names(tree / "sub"), std::vector<std::string>{"B.ISO"});
}

// The path of an image alone: the pass patches it in place, as libudfread then reads it, and
// JSON names it as it names a folder.
TEST_F(CliImageTest, AnImageNamedOnTheCommandLineIsHandledAlone) {
  const Bytes index = testdisc::IndexTable(0x60);
  auto run = CliInProcess({"--json", "modify", "--2d", a.string()});
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out),
            (nlohmann::json{{"command", "modify"},
                            {"folder", a.string()},
                            {"convert_3d_to_2d", true},
                            {"folders", {{{"path", a.string()}, {"result", "patched"}}}},
                            {"unreadable", nlohmann::json::array()},
                            {"count", 1},
                            {"summary", "Modify 1 file successful"},
                            {"stopped", false},
                            {"directories_visited", 0},
                            {"error", nullptr}}));
  const std::optional<Bytes> patched = testimage::ReadImageFile(a, "BDMV/index.bdmv");
  ASSERT_TRUE(patched.has_value());
  EXPECT_EQ(DescribeDifference(PatchedBytes(index, true), *patched), "");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(b)), "") << "only the image named";
  EXPECT_FALSE(fs::exists(tree / "folder" / "BDMV" / "BACKUP"));

  run = CliInProcess({"--json", "scan", a.string()});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(nlohmann::json::parse(run.out)["folders"],
            nlohmann::json::array({{{"path", a.string()},
                                    {"index_file", "BDMV/index.bdmv"},
                                    {"index_readable", true},
                                    {"index_table", true},
                                    {"patched", true},
                                    {"unfinished", false},
                                    {"flags", 0},
                                    {"backup", true},
                                    {"backup_file", "a.iso.quorvel"}}}));

  run = CliInProcess({"restore", a.string()});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out, "Resume  1 files successful\n");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(a)), "");
  EXPECT_FALSE(fs::exists(tree / "a.iso.quorvel"));
}

}  // namespace

// A Restore whose image takes back its bytes but whose folder will not let the file beside it
// go ends the pass with the system's cause, and keeps the file: it is not told restored.
TEST_F(CliImageTest, ARestoreThatCannotRemoveTheFileBesideEndsWithItsCause) {
  SKIP_UNLESS_ROOT("keep an ordinary user from writing the image's folder");
  ASSERT_EQ(CliInProcess({"modify", a.string()}).exitStatus, 0);
  fs::permissions(tree.Root(), fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
  fs::permissions(a, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                         fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);

  const auto run = CliAsNobody({"restore", a.string()});
  EXPECT_EQ(run.exitStatus, 2) << run.out << run.err;
  EXPECT_NE(run.err.find("(Permission denied)"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("Resume  1 files successful"), std::string::npos) << run.out;
  EXPECT_EQ(DescribeDifference(original, ReadBytes(a)), "");
  EXPECT_TRUE(fs::exists(tree / "a.iso.quorvel"));
}

// A stop signal that comes while an image is read for its plan gives the image up there, as if
// it had not been begun: nothing written, and the pass says where it stopped.
TEST_F(CliImageTest, AStopWhileAnImageIsReadGivesItUp) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::CatchStopSignals();
    // The search reads the anchor; the plan reads on from there.
    int reads = 0;
    platform::SetFaultHook([&reads](platform::IoStep step) {
      if (step == platform::IoStep::kRead && ++reads == 3) raise(SIGTERM);
      return 0;
    });
    const auto run = CliInProcess({"modify", "--threads", "1", a.string()});
    const bool told = run.exitStatus == 143 && run.err == "Stopped after 0 of 1 discs.\n" &&
                      ReadBytes(a) == original && !fs::exists(tree / "a.iso.quorvel");
    _exit(told ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
