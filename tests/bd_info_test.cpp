// Checks generated discs, and quorvel-cli's changes to them, against libbluray's bd_info.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/bd_disc.h"
#include "tests/support/run_process.h"
#include "tests/support/temp_tree.h"

#ifndef QUORVEL_CLI_PATH
#error "QUORVEL_CLI_PATH must name the quorvel-cli executable"
#endif

namespace {

namespace fs = std::filesystem;
using testing_support::DescribeDifference;
using testing_support::ProcessResult;
using testing_support::ReadBytes;

constexpr char kBdInfo[] = "/usr/bin/bd_info";
constexpr char kBdListTitles[] = "/usr/bin/bd_list_titles";
constexpr char kCli[] = QUORVEL_CLI_PATH;

// bd_info's own spacing.
constexpr std::string_view kBluRayDetected = "BluRay detected     : yes\n";
constexpr std::string_view kOneHdmvTitle = "HDMV titles         : 1\n";
constexpr std::string_view kMode3D = "initial mode preference : 3D\n";
constexpr std::string_view kMode2D = "initial mode preference : 2D\n";
constexpr std::string_view kContent3D = "3D content exists       : Yes\n";
constexpr std::string_view kNo3DContent = "3D content exists       : No\n";

// The extension-data block quorvel-cli appends to an index that has none.
constexpr std::uint8_t kAppendedExtension[] = {0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x18,
                                               0x00, 0x00, 0x00, 0x01, 0x10, 0x00, 0x01, 0x00,
                                               0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00};

testing::AssertionResult Prints(const ProcessResult& result, std::string_view line) {
  if (result.out.find(line) != std::string::npos) return testing::AssertionSuccess();
  if (line.ends_with('\n')) line.remove_suffix(1);
  return testing::AssertionFailure() << "missing \"" << line << "\" in output:\n"
                                     << result.out << result.err;
}

// What `modify --2d` must leave in an index without extension data.
std::vector<std::uint8_t> PatchedTo2D(std::vector<std::uint8_t> index) {
  const auto length = static_cast<std::uint32_t>(index.size());
  for (int i = 0; i < 4; ++i) {
    index[testdisc::kExtensionDataStartOffset + i] =
        static_cast<std::uint8_t>(length >> (24 - 8 * i));
  }
  index.insert(index.end(), std::begin(kAppendedExtension), std::end(kAppendedExtension));
  index[testdisc::kAppInfoFlagsOffset] = 0x00;
  return index;
}

class BdInfoTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kBdInfo))
        << kBdInfo << " is not installed (Debian package libbluray-bin)";
  }

  ProcessResult RunOnDisc(std::vector<std::string> command) {
    command.push_back(disc_.string());
    return testing_support::RunProcess(command);
  }

  // The disc must keep its title whatever the flags say. libbluray falls back to
  // BACKUP/index.bdmv when index.bdmv is unreadable, so the backup is moved aside meanwhile: what
  // is reported is index.bdmv's.
  void ExpectBdInfo(std::string_view mode, std::string_view content) {
    const ProcessResult info = RunWithoutBackup({kBdInfo});
    ASSERT_EQ(info.exitStatus, 0) << info.out << info.err;
    EXPECT_TRUE(Prints(info, kBluRayDetected));
    EXPECT_TRUE(Prints(info, kOneHdmvTitle));
    EXPECT_TRUE(Prints(info, mode));
    EXPECT_TRUE(Prints(info, content));
  }

  ProcessResult RunWithoutBackup(std::vector<std::string> command) {
    const fs::path backup = disc_ / "BDMV" / "BACKUP";
    const fs::path aside = tree_ / "BACKUP-aside";
    const bool hidden = fs::exists(backup);
    if (hidden) fs::rename(backup, aside);
    ProcessResult result = RunOnDisc(std::move(command));
    if (hidden) fs::rename(aside, backup);
    return result;
  }

  void RunCli(std::vector<std::string> command) {
    command.insert(command.begin(), kCli);
    command.push_back("--quiet");
    const ProcessResult run = RunOnDisc(command);
    ASSERT_EQ(run.exitStatus, 0) << run.out << run.err;
  }

  fs::path IndexPath() const { return disc_ / "BDMV" / "index.bdmv"; }

  testing_support::TempTree tree_;
  fs::path disc_ = tree_ / "disc";
};

// As generated, as Modify leaves it (flags kept, or cleared with --2d) and as Restore gives it
// back.
TEST_F(BdInfoTest, ReportsTheAppInfoFlagsOfTheIndex) {
  struct Case {
    std::uint8_t flags;
    bool to2D;
    std::string_view mode, content;  // as generated and restored
    std::string_view modifiedMode, modifiedContent;
  };
  for (const Case& c : {
           Case{testdisc::k3DFlags, false, kMode3D, kContent3D, kMode3D, kContent3D},
           Case{testdisc::k3DFlags, true, kMode3D, kContent3D, kMode2D, kNo3DContent},
           Case{testdisc::kContentExists3DBit, true, kMode2D, kContent3D, kMode2D, kNo3DContent},
           Case{0x00, false, kMode2D, kNo3DContent, kMode2D, kNo3DContent},
       }) {
    SCOPED_TRACE("flags " + std::to_string(c.flags) + (c.to2D ? ", --2d" : ""));
    fs::remove_all(disc_);
    testdisc::WriteDisc(disc_, c.flags);
    ExpectBdInfo(c.mode, c.content);
    RunCli(c.to2D ? std::vector<std::string>{"modify", "--2d"}
                  : std::vector<std::string>{"modify"});
    {
      SCOPED_TRACE("after modify");
      ExpectBdInfo(c.modifiedMode, c.modifiedContent);
    }
    RunCli({"restore"});
    {
      SCOPED_TRACE("after restore");
      ExpectBdInfo(c.mode, c.content);
    }
  }
}

// bd_info reads only the index; the title list needs the playlist and clip files too.
TEST_F(BdInfoTest, ListsThePlaylistAsATitle) {
  ASSERT_TRUE(fs::exists(kBdListTitles)) << kBdListTitles << " is not installed";
  for (const bool to2D : {false, true}) {
    SCOPED_TRACE(to2D ? "--2d" : "3D kept");
    fs::remove_all(disc_);
    testdisc::WriteDisc(disc_, testdisc::k3DFlags);
    const std::vector<std::string> modify =
        to2D ? std::vector<std::string>{"modify", "--2d"} : std::vector<std::string>{"modify"};
    for (const auto& command : {std::vector<std::string>{}, modify, {"restore"}}) {
      SCOPED_TRACE(command.empty() ? "as generated" : command[0]);
      if (!command.empty()) RunCli(command);
      const ProcessResult titles = RunWithoutBackup({kBdListTitles});
      ASSERT_EQ(titles.exitStatus, 0) << titles.out << titles.err;
      EXPECT_TRUE(Prints(titles,
                         "duration: 00:00:10 chapters:   1 angles:  1 clips:   1 "
                         "(playlist: 00000.mpls) V:1 A:0"));
    }
  }
}

TEST_F(BdInfoTest, CliSwitchesTo2DAndRestoresTheOriginalIndex) {
  testdisc::WriteDisc(disc_, testdisc::k3DFlags);
  const std::vector<std::uint8_t> original = ReadBytes(IndexPath());
  ExpectBdInfo(kMode3D, kContent3D);
  ASSERT_TRUE(fs::exists(kCli)) << "quorvel-cli not built at " << kCli;

  const ProcessResult modify = RunOnDisc({kCli, "modify", "--2d", "--quiet"});
  ASSERT_EQ(modify.exitStatus, 0) << modify.out << modify.err;
  EXPECT_EQ(DescribeDifference(PatchedTo2D(original), ReadBytes(IndexPath())), "");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(disc_ / "BDMV" / "BACKUP" / "index.bdmv")), "");
  {
    SCOPED_TRACE("after modify --2d");
    ExpectBdInfo(kMode2D, kNo3DContent);
  }

  const ProcessResult restore = RunOnDisc({kCli, "restore", "--quiet"});
  ASSERT_EQ(restore.exitStatus, 0) << restore.out << restore.err;
  EXPECT_EQ(DescribeDifference(original, ReadBytes(IndexPath())), "");
  {
    SCOPED_TRACE("after restore");
    ExpectBdInfo(kMode3D, kContent3D);
  }
}

}  // namespace
