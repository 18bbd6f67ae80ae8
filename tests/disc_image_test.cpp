// Modify, Restore and scan of a disc in a UDF image as the tests write it: their outcomes and
// messages, and the file beside the image that keeps what a patch changed.
#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "bdmv/folder_messages.h"
#include "bdmv/index_table.h"
#include "disc_image/disc_image.h"
#include "disc_image/image_backup_file.h"
#include "disc_image/image_messages.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"

namespace fs = std::filesystem;
using namespace testing_support;
using Kind = FolderOutcome::Kind;

namespace {

constexpr std::uint8_t kFlags3D = 0x50;

class DiscImageTest : public ::testing::Test {
 protected:
  fs::path Image() const { return tree / "Movie.ISO"; }
  fs::path BackupFile() const { return tree / "Movie.ISO.quorvel"; }

  FolderOutcome Modify(bool convert3DTo2D = false) {
    return disc_image::ModifyDiscImage(Dir(), "Movie.ISO", Utf8(Image()), convert3DTo2D);
  }
  FolderOutcome Restore() {
    return disc_image::RestoreDiscImage(Dir(), "Movie.ISO", Utf8(Image()));
  }
  BdmvFolderState Scan() { return disc_image::ReadDiscImageState(Dir(), "Movie.ISO"); }

  // What scan says of the disc's patch: "yes", "no" or "unfinished".
  std::string Patched() {
    const BdmvFolderState state = Scan();
    EXPECT_EQ(state.indexFile, "BDMV/index.bdmv");
    EXPECT_TRUE(state.indexReadable && state.isIndexTable);
    return state.unfinished ? "unfinished" : state.patched ? "yes" : "no";
  }

  const platform::Directory& Dir() {
    if (!dir.IsOpen()) dir = platform::Directory::OpenFolder(Utf8(tree.Root()));
    return dir;
  }

  TempTree tree;
  platform::Directory dir;
};

TEST_F(DiscImageTest, APatchIsKeptBesideTheImageUntilRestoreGivesBackItsExactBytes) {
  for (const bool bridge : {false, true}) {
    SCOPED_TRACE(bridge ? "UDF 1.02 with an ISO 9660 bridge" : "UDF 2.50");
    testimage::ImageOptions options;
    if (bridge) {
      options.revision = testimage::Revision::k102;
      options.extendedEntries = false;
      options.bridge = true;
    }
    testimage::WriteImage(Image(), testimage::DiscFiles(kFlags3D), options);
    const Bytes original = ReadBytes(Image());
    EXPECT_EQ(Patched(), "no");
    EXPECT_EQ(Scan().flags, kFlags3D);
    EXPECT_EQ(Scan().backupFile, "");

    EXPECT_EQ(Modify(true).kind, Kind::kPatched);
    const Bytes patched = ReadBytes(Image());
    EXPECT_NE(DescribeDifference(original, patched), "");
    EXPECT_EQ(Patched(), "yes");
    EXPECT_EQ(Scan().flags, 0);
    EXPECT_EQ(Scan().backupFile, "Movie.ISO.quorvel");
    std::string problem;
    const auto kept = disc_image::DecodeImageBackup(ReadBytes(BackupFile()), problem);
    ASSERT_TRUE(kept) << problem;
    EXPECT_TRUE(kept->complete);
    EXPECT_EQ(kept->imageSize, original.size());
    // Only the kept regions differ from the original.
    Bytes undone = patched;
    for (const disc_image::Region& region : kept->regions) {
      std::copy(region.before.begin(), region.before.end(), undone.begin() + region.offset);
    }
    EXPECT_EQ(DescribeDifference(original, undone), "");

    // Counted again, with nothing written.
    EXPECT_EQ(Modify().kind, Kind::kAlreadyPatched);
    EXPECT_EQ(DescribeDifference(patched, ReadBytes(Image())), "");

    // A file beside that still reads but would put back a wrong byte is refused, before anything
    // is written; one of the version before checksums is still taken.
    const Bytes good = ReadBytes(BackupFile());
    disc_image::ImageBackup lying = *kept;
    std::max_element(lying.regions.begin(), lying.regions.end(), [](auto& a, auto& b) {
      return a.before.size() < b.before.size();
    })->before[20] ^= 1;
    WriteBytes(BackupFile(), disc_image::EncodeImageBackup(lying));
    const FolderOutcome refused = Restore();
    EXPECT_EQ(refused.message, image_messages::kRestoreBackupUnusable);
    EXPECT_EQ(refused.cause, "put back, its bytes would not give a whole disc image");
    EXPECT_EQ(DescribeDifference(patched, ReadBytes(Image())), "");
    std::string older(good.begin(), good.end());
    older.replace(older.find("\"version\": 2"), 12, "\"version\": 1");
    const std::size_t checksum = older.find(" \"checksum\"");
    older.erase(checksum, older.find('\n', checksum) + 1 - checksum);
    WriteBytes(BackupFile(), Bytes(older.begin(), older.end()));

    EXPECT_EQ(Restore().kind, Kind::kRestored);
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Image())), "");
    EXPECT_FALSE(fs::exists(BackupFile()));
    EXPECT_EQ(Patched(), "no");
    EXPECT_EQ(Restore().message, folder_messages::kRestoreNoBackup);
  }
}

// An index file that a patch was cut short in, with no file beside the image to finish it, is
// told as a folder's is; one whose data lies past the image's end is unreadable. Neither is
// written.
TEST_F(DiscImageTest, AnIndexNothingCanFinishIsHalfPatchedAndOnePastTheEndUnreadable) {
  struct Case {
    const char* name;
    std::function<void(Bytes& index)> editIndex;
    bool cutBeforeData;  // the image ends where the index file's data begins
    std::string message;
  };
  const std::vector<Case> cases = {
      {"address at the end",
       [](Bytes& index) { index[15] = static_cast<std::uint8_t>(index.size()); }, false,
       folder_messages::kModifyHalfPatched},
      {"block without its address",
       [](Bytes& index) {
         index.insert(index.end(), index_table::kExtensionDataBlock.begin(),
                      index_table::kExtensionDataBlock.end());
       },
       false, folder_messages::kModifyHalfPatched},
      {"data past the end", [](Bytes&) {}, true, image_messages::kModifyDamaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<testimage::ImageFile> files = testimage::DiscFiles(kFlags3D);
    c.editIndex(files.front().bytes);
    testimage::WriteImage(Image(), files, {});
    if (c.cutBeforeData) {
      fs::resize_file(
          Image(), testimage::PlacementOf(files, {}, "BDMV/index.bdmv").dataSectors.front() * 2048);
    }
    const Bytes before = ReadBytes(Image());

    const BdmvFolderState state = Scan();
    if (c.cutBeforeData) {
      ASSERT_TRUE(state.listError);
      EXPECT_EQ(state.listError->Description(), "disc image is damaged");
    } else {
      EXPECT_TRUE(state.indexReadable && state.isIndexTable);
      EXPECT_FALSE(state.patched);
      EXPECT_TRUE(state.unfinished);
    }
    EXPECT_EQ(Modify().message, c.message);
    EXPECT_EQ(DescribeDifference(before, ReadBytes(Image())), "");
    EXPECT_FALSE(fs::exists(BackupFile()));
  }
}

}  // namespace
