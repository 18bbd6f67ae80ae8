// Disc images made by other tools, round-tripped through quorvel-cli and read by bd_info and
// 7-Zip: Restore gives back every byte, and the images Modify refuses keep theirs.
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "disc_image/image_messages.h"
#include "tests/support/bd_disc.h"
#include "tests/support/cli_runner.h"
#include "tests/support/disc_report.h"
#include "tests/support/temp_tree.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

const std::string kGenisoimage = "genisoimage -quiet -udf -V QUORVEL_TEST -o disc.iso ";
constexpr char kPycdlib[] = R"(/usr/bin/python3 - <<'EOF'
import os, pycdlib
iso = pycdlib.PyCdlib()
iso.new(udf='2.60')
for folder, dirs, names in os.walk('disc'):
    dirs.sort()
    inside = folder[len('disc'):]
    if inside:
        iso.add_directory(udf_path=inside)
    for name in sorted(names):
        iso.add_file(os.path.join(folder, name), udf_path=inside + '/' + name)
iso.write('disc.iso')
EOF)";

struct Row {
  std::string name;
  std::string make;          // shell lines that make disc.iso from the tree in disc/
  std::string isoIndex;      // the index file in the image's ISO 9660 view; "": no such view
  std::size_t indexLength;   // 0: as testdisc makes it; more: padded with zeros
  std::string refusal = {};  // the message Modify refuses the image with
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

const Row kRows[] = {
    {"genisoimage_udf102", kGenisoimage + "disc", "BDMV/INDEX.BDM", 0},
    {"genisoimage_udf102_joliet", kGenisoimage + "-J disc", "BDMV/index.bdmv", 0},
    // The extension-data block fills the index's last sector: 2024 + 24 = 2048.
    {"genisoimage_index_2024_bytes", kGenisoimage + "disc", "BDMV/INDEX.BDM", 2024},
    // genisoimage keeps the two names of one file as one extent.
    {"genisoimage_backup_hard_linked",
     "ln -f disc/BDMV/index.bdmv disc/BDMV/BACKUP/index.bdmv && " + kGenisoimage + "disc", "", 0,
     image_messages::kModifySharedData},
    // genisoimage pads the image with 150 sectors after its partition: cutting 151 leaves every
    // file's data but neither the partition's last sector nor any anchor after it.
    {"genisoimage_truncated", kGenisoimage + "disc && truncate -s -309248 disc.iso", "", 0,
     image_messages::kModifyDamaged},
    {"pycdlib_udf260", kPycdlib, "", 0},
};

class ForeignImageTest : public testing::TestWithParam<Row> {
 protected:
  // Runs the shell lines in the test's folder.
  ProcessResult Sh(const std::string& lines) const {
    return RunProcess({"/bin/sh", "-c", "cd \"$1\" && " + lines, "sh", tree_.Root().string()});
  }

  void ExpectBdInfo(const std::string& mode) const {
    const ProcessResult info = RunProcess({kBdInfo, image_});
    EXPECT_NE(info.out.find("initial mode preference : " + mode + "\n"), std::string::npos)
        << info.out << info.err;
  }

  TempTree tree_;
  const std::string image_ = (tree_ / "disc.iso").string();
  const fs::path beside_ = tree_ / "disc.iso.quorvel";
};

TEST_P(ForeignImageTest, ModifyThenRestoreGivesBackEveryByte) {
  const Row& row = GetParam();
  // The tools come with scripts/deps/core.txt: a missing one fails the row.
  ASSERT_TRUE(fs::exists(kBdInfo)) << "needs the Debian package libbluray-bin";
  std::vector<testdisc::DiscFile> files = testdisc::DiscFiles(testdisc::k3DFlags);
  if (row.indexLength > 0) files[0].bytes.resize(row.indexLength);
  files.push_back({"BDMV/BACKUP/index.bdmv", files[0].bytes});
  files.push_back({"BDMV/BACKUP/MovieObject.bdmv", files[1].bytes});
  testdisc::WriteFiles(tree_ / "disc", files);
  const ProcessResult made = Sh(row.make);
  ASSERT_EQ(made.exitStatus, 0) << made.out << made.err;
  const Bytes original = ReadBytes(image_);
  const bool patches = row.refusal.empty();
  if (patches) ExpectBdInfo("3D");

  const ProcessResult modify = Cli({"modify", "--2d", image_});
  EXPECT_EQ(modify.exitStatus, patches ? 0 : 1) << modify.err;
  EXPECT_EQ(modify.out, std::string("Modify ") + (patches ? "1" : "0") + " file successful\n");
  EXPECT_EQ(modify.err, patches ? "" : image_ + ": " + row.refusal + "\n");
  if (!patches) {
    EXPECT_EQ(DescribeDifference(original, ReadBytes(image_)), "") << "refused";
    EXPECT_FALSE(fs::exists(beside_));
    return;
  }
  EXPECT_TRUE(fs::exists(beside_));
  ExpectBdInfo("2D");
  const Bytes patched = PatchedBytes(files[0].bytes, /*convert3DTo2D=*/true);
  for (const auto& [type, path] : {std::pair<std::string, std::string>("udf", "BDMV/index.bdmv"),
                                   std::pair<std::string, std::string>("iso", row.isoIndex)}) {
    if (path.empty()) continue;
    const ProcessResult read =
        Sh("7zz t -t" + type + " disc.iso >&2 && 7zz e -so -t" + type + " disc.iso " + path);
    EXPECT_EQ(read.exitStatus, 0) << read.err;
    EXPECT_EQ(DescribeDifference(patched, Bytes(read.out.begin(), read.out.end())), "")
        << "as 7-Zip extracts " << path << " from the " << type << " view";
  }

  const ProcessResult restore = Cli({"restore", image_});
  EXPECT_EQ(restore.exitStatus, 0) << restore.err;
  EXPECT_EQ(restore.out, "Resume  1 files successful\n");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(image_)), "") << "restored";
  EXPECT_FALSE(fs::exists(beside_));
}

INSTANTIATE_TEST_SUITE_P(Images, ForeignImageTest, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
