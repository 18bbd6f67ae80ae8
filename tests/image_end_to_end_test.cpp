// Discs in image files, patched in place: each kind of image against the same disc as a folder,
// the images that must be refused, and a patch interrupted after each of its writes.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "bdmv/modify_bdmv_folder.h"
#include "disc_image/disc_image.h"
#include "disc_image/image_messages.h"
#include "platform/directory.h"
#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "tests/support/bd_disc.h"
#include "tests/support/disc_report.h"
#include "tests/support/image_variants.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"
#include "tests/support/udf_reader.h"

namespace {

namespace fs = std::filesystem;
using testimage::ImageFile;
using testimage::ImageVariant;
using testimage::kSectorSize;
using testing_support::Bytes;
using testing_support::DescribeDifference;
using testing_support::kBdInfo;
using testing_support::ReadBytes;
using testing_support::Utf8;

constexpr char kImageName[] = "disc.iso";
constexpr std::string_view kIndex = "BDMV/index.bdmv";
constexpr std::string_view kMovieObject = "BDMV/MovieObject.bdmv";

std::set<std::uint64_t> ChangedSectors(const Bytes& before, const Bytes& after) {
  std::set<std::uint64_t> changed;
  for (std::size_t at = 0; at < before.size() && at < after.size(); at += kSectorSize) {
    const std::size_t n = std::min({kSectorSize, before.size() - at, after.size() - at});
    if (std::memcmp(before.data() + at, after.data() + at, n) != 0)
      changed.insert(at / kSectorSize);
  }
  return changed;
}

std::string ListSectors(const std::set<std::uint64_t>& sectors) {
  std::string list;
  for (const std::uint64_t s : sectors) list += std::to_string(s) + " ";
  return list;
}

std::string BdInfo(const fs::path& disc) {
  return testing_support::DiscReport(testing_support::kBdInfo, disc).out;
}

class ImageEndToEndTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(kBdInfo))
        << kBdInfo << " is not installed (Debian package libbluray-bin)";
    fs::create_directories(images_);
  }
  void TearDown() override { platform::SetFaultHook(nullptr); }

  fs::path Image() const { return images_ / kImageName; }
  fs::path Beside() const { return images_ / disc_image::BackupNameFor(kImageName); }

  FolderOutcome ModifyImage(bool to2D, const fs::path& folder) const {
    return disc_image::ModifyDiscImage(platform::Directory::OpenFolder(Utf8(folder)), kImageName,
                                       Utf8(folder / kImageName), to2D);
  }
  FolderOutcome RestoreImage(const fs::path& folder) const {
    return disc_image::RestoreDiscImage(platform::Directory::OpenFolder(Utf8(folder)), kImageName,
                                        Utf8(folder / kImageName));
  }

  testing_support::TempTree tree_;
  fs::path folder_ = tree_ / "folder";
  fs::path images_ = tree_ / "images";
};

// The sectors a patch may change: the index's first and last data blocks (or its entry, where
// the data is embedded), the entries of the index and the movie object in the metadata file and
// its mirror, and the ISO 9660 and Joliet records of both.
std::set<std::uint64_t> ExpectedChanges(const std::vector<ImageFile>& files,
                                        const testimage::ImageOptions& options) {
  std::set<std::uint64_t> expected;
  for (const std::string_view path : {kIndex, kMovieObject}) {
    const auto placement = testimage::PlacementOf(files, options, std::string(path));
    expected.insert(placement.entrySectors.begin(), placement.entrySectors.end());
    expected.insert(placement.listingSectors.begin(), placement.listingSectors.end());
    if (path == kIndex && !placement.dataSectors.empty()) {
      expected.insert(placement.dataSectors.front());
      expected.insert(placement.dataSectors.back());
    }
  }
  return expected;
}

TEST_F(ImageEndToEndTest, PatchesEachKindOfImageAsItsFolderIsPatchedAndRestoresItsBytes) {
  for (const ImageVariant& variant : testimage::PatchableVariants()) {
    for (const bool to2D : {false, true}) {
      SCOPED_TRACE(variant.name + (to2D ? ", to 2D" : ""));
      const auto files = testimage::VariantFiles(variant, testdisc::k3DFlags);
      fs::remove_all(folder_);
      testdisc::WriteFiles(folder_, files);
      testimage::WriteImage(Image(), files, variant.options);
      const Bytes original = ReadBytes(Image());

      const FolderOutcome folder = ModifyBdmvFolder(
          platform::Directory::OpenFolder(Utf8(folder_ / "BDMV")), Utf8(folder_ / "BDMV"), to2D);
      ASSERT_EQ(folder.kind, FolderOutcome::Kind::kPatched) << folder.message;
      const FolderOutcome image = ModifyImage(to2D, images_);
      ASSERT_EQ(image.kind, FolderOutcome::Kind::kPatched) << image.message << image.cause;
      EXPECT_TRUE(fs::exists(Beside()));

      for (const ImageFile& file : files) {
        const std::optional<Bytes> read = testimage::ReadImageFile(Image(), file.path);
        ASSERT_TRUE(read) << "libudfread cannot read " << file.path;
        EXPECT_EQ(DescribeDifference(ReadBytes(folder_ / file.path), *read), "") << file.path;
      }
      // libbluray falls back to BACKUP/index.bdmv when index.bdmv is unreadable: it is moved
      // aside, so that what is reported is index.bdmv's.
      fs::rename(folder_ / "BDMV" / "BACKUP", tree_ / "BACKUP-aside");
      EXPECT_EQ(BdInfo(Image()), BdInfo(folder_));
      fs::rename(tree_ / "BACKUP-aside", folder_ / "BDMV" / "BACKUP");

      const Bytes patched = ReadBytes(Image());
      EXPECT_EQ(ListSectors(ChangedSectors(original, patched)),
                ListSectors(ExpectedChanges(files, variant.options)));
      EXPECT_EQ(ModifyImage(to2D, images_).kind, FolderOutcome::Kind::kAlreadyPatched);
      EXPECT_EQ(DescribeDifference(patched, ReadBytes(Image())), "") << "patched twice";

      const FolderOutcome restored = RestoreImage(images_);
      EXPECT_EQ(restored.kind, FolderOutcome::Kind::kRestored) << restored.message;
      EXPECT_EQ(DescribeDifference(original, ReadBytes(Image())), "");
      EXPECT_FALSE(fs::exists(Beside()));
    }
  }
}

// A raw CD image: 2352-byte sectors, each opening with the sync pattern, no UDF anywhere.
Bytes RawCdImage() {
  constexpr std::size_t kRawSectorSize = 2352;
  Bytes image(300 * kRawSectorSize);
  for (std::size_t at = 0; at < image.size(); at += kRawSectorSize) {
    std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(at + 1), 10, 0xFF);
  }
  return image;
}

TEST_F(ImageEndToEndTest, RefusesWhatCannotBePatchedInPlaceAndChangesNothing) {
  const std::map<std::string, std::string> refusals = {
      {"2.50 full last block", image_messages::kModifyNoRoom},
      {"2.50 last block with 23 bytes free", image_messages::kModifyNoRoom},
      {"2.50 embedded index without room", image_messages::kModifyNoRoom},
      {"1.02 embedded index in a bridge", image_messages::kModifyIsoCopy},
      {"2.50 index sharing its extent with BACKUP", image_messages::kModifySharedData},
      {"1.02 index sharing its extent with BACKUP, bridge", image_messages::kModifySharedData},
      {"2.01 virtual partition", image_messages::kModifyPartitionKind},
      {"2.01 sparable partition", image_messages::kModifyPartitionKind},
      {"raw 2352-byte sectors", image_messages::kModifyNotUdf},
  };
  std::vector<ImageVariant> variants = testimage::RefusedVariants();
  variants.push_back({"raw 2352-byte sectors", {}});
  for (const ImageVariant& variant : variants) {
    SCOPED_TRACE(variant.name);
    if (variant.name.starts_with("raw")) {
      testing_support::WriteBytes(Image(), RawCdImage());
    } else {
      testimage::WriteImage(Image(), testimage::VariantFiles(variant, testdisc::k3DFlags),
                            variant.options);
    }
    const Bytes original = ReadBytes(Image());
    const FolderOutcome outcome = ModifyImage(true, images_);
    EXPECT_EQ(outcome.kind, FolderOutcome::Kind::kReported);
    EXPECT_NE(outcome.message.find(refusals.at(variant.name)), std::string::npos)
        << outcome.message;
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Image())), "");
    EXPECT_FALSE(fs::exists(Beside()));
  }
}

// ---- interruptions ----

// Fails the n-th write (from 1) after it ran, as a crash right after it would leave the files.
class CrashAfterWrite {
 public:
  explicit CrashAfterWrite(int n) {
    platform::SetFaultHook([this, n](platform::IoStep step) {
      if (step != platform::IoStep::kWrite) return 0;
      return ++writes_ == n ? EIO : 0;
    });
  }
  ~CrashAfterWrite() { platform::SetFaultHook(nullptr); }
  int Writes() const { return writes_; }

 private:
  int writes_ = 0;
};

// A Modify sets the modification times of the index and the movie object, in their entries and
// their ISO 9660 records, to its own time: they are masked (with the entries' checksums and
// CRCs) where images patched at different times are compared.
Bytes WithoutTouchTimes(Bytes image, const std::vector<ImageFile>& files,
                        const testimage::ImageOptions& options) {
  auto zero = [&image](std::size_t at, std::size_t count) {
    std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(at), count, 0);
  };
  for (const std::string_view path : {kIndex, kMovieObject}) {
    for (const std::uint64_t sector :
         testimage::PlacementOf(files, options, std::string(path)).entrySectors) {
      const std::size_t at = sector * kSectorSize;
      const bool extended = (image[at] | image[at + 1] << 8) == 266;
      for (const std::size_t i : {4, 8, 9}) image[at + i] = 0;
      zero(at + (extended ? 92 : 84), 12);
    }
  }
  const auto movieObject = testimage::PlacementOf(files, options, std::string(kMovieObject));
  for (const std::uint64_t sector : movieObject.listingSectors) {
    const std::size_t start = sector * kSectorSize;
    for (std::size_t at = start + 2 * 34; at < start + kSectorSize && image[at] != 0;
         at += image[at]) {
      zero(at + 18, 7);  // every file's record: the masked dates are the two that change
    }
  }
  return image;
}

// The variants the interruption tests run over.
std::vector<ImageVariant> InterruptedVariants() {
  std::vector<ImageVariant> chosen;
  for (const ImageVariant& v : testimage::PatchableVariants()) {
    for (const std::string_view name : {"2.50 EFE long, bridge", "1.02 FE embedded",
                                        "2.50 fragmented index", "2.01 fragmented index, bridge"}) {
      if (v.name == name) chosen.push_back(v);
    }
  }
  return chosen;
}

// What readers may find in an image of the variant, learnt from a patch and Restore without
// interruption: the original disc, or the whole patch.
struct WholeStates {
  Bytes original, patched;  // the image's bytes; patched without its times
  std::string originalInfo, patchedInfo;
  // The index file as read: original, grown by the block its address does not point at yet
  // (read as the original), or patched.
  Bytes originalIndex, blockOnly, patchedIndex;
};

class ImageInterruptionTest : public ImageEndToEndTest {
 protected:
  void Learn(const ImageVariant& variant) {
    files_ = testimage::VariantFiles(variant, testdisc::k3DFlags);
    options_ = variant.options;
    Reset();
    s_.original = ReadBytes(Image());
    s_.originalInfo = BdInfo(Image());
    s_.originalIndex = files_.front().bytes;
    const FolderOutcome uninterrupted = ModifyImage(true, images_);
    ASSERT_EQ(uninterrupted.kind, FolderOutcome::Kind::kPatched) << uninterrupted.message;
    s_.patched = Masked(Image());
    s_.patchedInfo = BdInfo(Image());
    s_.patchedIndex = *testimage::ReadImageFile(Image(), std::string(kIndex));
    s_.blockOnly = s_.originalIndex;
    s_.blockOnly.insert(
        s_.blockOnly.end(),
        s_.patchedIndex.begin() + static_cast<std::ptrdiff_t>(s_.originalIndex.size()),
        s_.patchedIndex.end());
    ASSERT_NE(s_.originalInfo, s_.patchedInfo) << "the 2D conversion shows in bd_info";
    ASSERT_EQ(RestoreImage(images_).kind, FolderOutcome::Kind::kRestored);
  }

  void Reset() {
    testimage::WriteImage(Image(), files_, options_);
    fs::remove(Beside());
  }

  Bytes Masked(const fs::path& image) const {
    return WithoutTouchTimes(ReadBytes(image), files_, options_);
  }

  // Runs the operation with the n-th write failing after it ran; returns whether it finished
  // with fewer writes.
  bool Finishes(int n, const std::function<FolderOutcome()>& operation,
                FolderOutcome::Kind whenFinished) const {
    const CrashAfterWrite crash(n);
    try {
      const FolderOutcome outcome = operation();
      if (crash.Writes() < n) {
        EXPECT_EQ(outcome.kind, whenFinished) << outcome.message;
        return true;
      }
      EXPECT_EQ(outcome.kind, FolderOutcome::Kind::kReported) << "a failed write went unnoticed";
    } catch (const FileError&) {
      EXPECT_EQ(crash.Writes(), n);
    }
    return false;
  }

  void ExpectReadWhole() const {
    const std::string info = BdInfo(Image());
    EXPECT_TRUE(info == s_.originalInfo || info == s_.patchedInfo) << info;
    const std::optional<Bytes> index = testimage::ReadImageFile(Image(), std::string(kIndex));
    ASSERT_TRUE(index);
    EXPECT_TRUE(*index == s_.originalIndex || *index == s_.blockOnly || *index == s_.patchedIndex)
        << "neither original nor patched: " << DescribeDifference(s_.patchedIndex, *index);
  }

  // The image and the file beside it as the crash left them, in a folder of their own.
  fs::path CopyOfCrashedState() const {
    const fs::path copy = tree_ / "copy";
    fs::remove_all(copy);
    fs::create_directories(copy);
    fs::copy(images_, copy);
    return copy;
  }

  void ExpectRestoresTheOriginal(const fs::path& folder) const {
    const bool untouched = ReadBytes(folder / kImageName) == s_.original;
    const FolderOutcome restored = RestoreImage(folder);
    EXPECT_TRUE(restored.Counted() || untouched) << restored.message;
    EXPECT_EQ(DescribeDifference(s_.original, ReadBytes(folder / kImageName)), "") << "restored";
    EXPECT_FALSE(fs::exists(folder / disc_image::BackupNameFor(kImageName)));
  }

  void ExpectCompletesThePatch(const fs::path& folder) const {
    const FolderOutcome completed = ModifyImage(true, folder);
    EXPECT_TRUE(completed.Counted()) << completed.message;
    EXPECT_EQ(DescribeDifference(s_.patched, Masked(folder / kImageName)), "") << "completed";
  }

  // For each variant, runs `operation` on the image `prepare` readies with its n-th write
  // failing, for n = 1, 2, ... until it finishes, checking what readers read after each crash and
  // handing the crashed state to `afterCrash`; `afterFinish` checks the image it finished.
  void CrashAfterEachWrite(const std::function<void()>& prepare,
                           const std::function<FolderOutcome()>& operation,
                           FolderOutcome::Kind whenFinished,
                           const std::function<void()>& afterCrash,
                           const std::function<void()>& afterFinish) {
    for (const ImageVariant& variant : InterruptedVariants()) {
      SCOPED_TRACE(variant.name);
      Learn(variant);
      bool finished = false;
      for (int n = 1; !finished && n < 100; ++n) {
        SCOPED_TRACE("crash after write " + std::to_string(n));
        Reset();
        prepare();
        finished = Finishes(n, operation, whenFinished);
        if (finished) break;
        ExpectReadWhole();
        afterCrash();
      }
      EXPECT_TRUE(finished) << "never finished";
      afterFinish();
    }
  }

  std::vector<ImageFile> files_;
  testimage::ImageOptions options_;
  WholeStates s_;
};

// After every write a crash may follow: bd_info and libudfread then read the original disc or
// the whole patch, a Modify from there finishes the very patch an uninterrupted one makes, and a
// Restore from there gives the original bytes back.
TEST_F(ImageInterruptionTest, APatchInterruptedAfterAnyWriteReadsWholeAndFinishesEitherWay) {
  CrashAfterEachWrite([] {}, [this] { return ModifyImage(true, images_); },
                      FolderOutcome::Kind::kPatched,
                      [this] {
                        ExpectRestoresTheOriginal(CopyOfCrashedState());
                        ExpectCompletesThePatch(images_);
                      },
                      [this] { EXPECT_EQ(DescribeDifference(s_.patched, Masked(Image())), ""); });
}

// The same for a Restore interrupted after any write: from there a Restore gives the original
// bytes back and a Modify finishes the patch.
TEST_F(ImageInterruptionTest, ARestoreInterruptedAfterAnyWriteReadsWholeAndFinishesEitherWay) {
  CrashAfterEachWrite(
      [this] { ASSERT_EQ(ModifyImage(true, images_).kind, FolderOutcome::Kind::kPatched); },
      [this] { return RestoreImage(images_); }, FolderOutcome::Kind::kRestored,
      [this] {
        ExpectCompletesThePatch(CopyOfCrashedState());
        ExpectRestoresTheOriginal(images_);
      },
      [this] {
        EXPECT_EQ(DescribeDifference(s_.original, ReadBytes(Image())), "");
        EXPECT_FALSE(fs::exists(Beside()));
      });
}

}  // namespace
