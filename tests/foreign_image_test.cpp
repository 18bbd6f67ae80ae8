// Disc images made by other tools (genisoimage, pycdlib), round-tripped through quorvel-cli:
// Modify, then the image as libbluray's bd_info, libudfread and 7-Zip read it, then Restore gives
// back every byte. The images Modify must refuse keep their bytes.
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "disc_image/image_messages.h"
#include "tests/support/cli_runner.h"
#include "tests/support/disc_report.h"
#include "tests/support/foreign_images.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_reader.h"

#ifndef QUORVEL_CLI_PATH
#error "QUORVEL_CLI_PATH must name the quorvel-cli executable"
#endif

namespace {

namespace fs = std::filesystem;
using foreign_images::ImageRecipe;
using foreign_images::Maker;
using testing_support::Bytes;
using testing_support::Cli;
using testing_support::DescribeDifference;
using testing_support::ProcessResult;
using testing_support::ReadBytes;
using testing_support::RunProcess;

struct Row {
  std::string name;
  ImageRecipe recipe;
  std::string refusal;  // the message Modify refuses the image with; "" when it patches it
};

std::vector<Row> Rows() {
  return {
      {"genisoimage_udf102", {Maker::kGenisoimage}, ""},
      {"genisoimage_udf102_joliet", {Maker::kGenisoimageJoliet}, ""},
      // The extension-data block fills the index's last sector: 2024 + 24 = 2048.
      {"genisoimage_index_2024_bytes", {Maker::kGenisoimage, 2024}, ""},
      // genisoimage keeps the two names of one file as one extent.
      {"genisoimage_backup_hard_linked",
       {Maker::kGenisoimage, 0, true},
       image_messages::kModifySharedData},
      // The BDMV files all there, the partition and the last anchor cut off.
      {"genisoimage_truncated",
       {Maker::kGenisoimage, 0, false, true},
       image_messages::kModifyDamaged},
      {"pycdlib_udf260", {Maker::kPycdlib}, ""},
  };
}

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.name;
}

bool Prints(const ProcessResult& run, const std::string& line) {
  return run.out.find(line + "\n") != std::string::npos;
}

class ForeignImageTest : public testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    const std::string missing = foreign_images::MissingTool(GetParam().recipe.maker);
    if (!missing.empty()) GTEST_SKIP() << missing;
    ASSERT_TRUE(fs::exists(testing_support::kBdInfo))
        << testing_support::kBdInfo << " is not installed (Debian package libbluray-bin)";
    const std::string failure = foreign_images::MakeImage(GetParam().recipe, tree_.Root(), image_);
    ASSERT_EQ(failure, "");
    original_ = ReadBytes(image_);
  }

  // bd_info reports the disc with the index's initial mode preference.
  void ExpectBdInfo(const std::string& mode) const {
    const ProcessResult info = testing_support::DiscReport(testing_support::kBdInfo, image_);
    ASSERT_EQ(info.exitStatus, 0) << info.out << info.err;
    EXPECT_TRUE(Prints(info, "BluRay detected     : yes")) << info.out;
    EXPECT_TRUE(Prints(info, "initial mode preference : " + mode)) << info.out;
  }

  testing_support::TempTree tree_;
  const fs::path image_ = tree_ / "disc.iso";
  const fs::path beside_ = tree_ / "disc.iso.quorvel";
  Bytes original_;
};

TEST_P(ForeignImageTest, ModifyThenRestoreGivesBackEveryByte) {
  const Row& row = GetParam();
  if (row.refusal.empty()) ExpectBdInfo("3D");
  const ProcessResult modify = Cli({"modify", "--2d", image_.string()});
  if (!row.refusal.empty()) {
    EXPECT_EQ(modify.exitStatus, 1);
    EXPECT_EQ(modify.out, "Modify 0 file successful\n");
    EXPECT_EQ(modify.err, image_.string() + ": " + row.refusal + "\n");
    EXPECT_EQ(DescribeDifference(original_, ReadBytes(image_)), "") << "refused, yet changed";
    EXPECT_FALSE(fs::exists(beside_));
    return;
  }
  ASSERT_EQ(modify.exitStatus, 0) << modify.out << modify.err;
  EXPECT_EQ(modify.out, "Modify 1 file successful\n");
  EXPECT_EQ(modify.err, "");
  EXPECT_TRUE(fs::exists(beside_));

  const Bytes patched =
      testing_support::PatchedBytes(foreign_images::IndexBytes(row.recipe), /*convert3DTo2D=*/true);
  ExpectBdInfo("2D");
  const std::optional<Bytes> udfread = testimage::ReadImageFile(image_, foreign_images::kIndexPath);
  ASSERT_TRUE(udfread.has_value()) << "libudfread cannot read the patched image";
  EXPECT_EQ(DescribeDifference(patched, *udfread), "") << "as libudfread reads it";
  // 7-Zip reads the UDF volume, and the ISO 9660 view apart (genisoimage's bridge).
  for (const auto& [type, path] : foreign_images::ArchiveViews(row.recipe)) {
    SCOPED_TRACE("7-Zip " + type);
    const ProcessResult test = RunProcess({foreign_images::k7Zip, "t", type, image_.string()});
    EXPECT_EQ(test.exitStatus, 0) << test.out << test.err;
    const ProcessResult extract =
        RunProcess({foreign_images::k7Zip, "e", "-so", type, image_.string(), path});
    EXPECT_EQ(extract.exitStatus, 0) << extract.err;
    EXPECT_EQ(DescribeDifference(patched, Bytes(extract.out.begin(), extract.out.end())), "")
        << "as 7-Zip extracts " << path;
  }

  const ProcessResult restore = Cli({"restore", image_.string()});
  EXPECT_EQ(restore.exitStatus, 0) << restore.out << restore.err;
  EXPECT_EQ(restore.out, "Resume  1 files successful\n");
  EXPECT_EQ(DescribeDifference(original_, ReadBytes(image_)), "") << "restored";
  EXPECT_FALSE(fs::exists(beside_));
  ExpectBdInfo("3D");
}

INSTANTIATE_TEST_SUITE_P(Images, ForeignImageTest, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

}  // namespace
