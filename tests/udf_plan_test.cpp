// The plan of an image's patch, checked against images the tests write: the patched image must be
// the image the writer makes of the patched files, byte for byte, libudfread must read each step
// of the way as the original or the patch, and damaged images must be refused, never crash.
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bdmv/folder_messages.h"
#include "disc_image/disc_image.h"
#include "disc_image/image_messages.h"
#include "disc_image/image_patch.h"
#include "platform/file.h"
#include "tests/support/bd_disc.h"
#include "tests/support/image_variants.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_descriptors.h"
#include "tests/support/udf_image.h"
#include "tests/support/udf_reader.h"

namespace {

namespace fs = std::filesystem;
using testimage::Allocation;
using testimage::ImageFile;
using testimage::ImageOptions;
using testimage::kSectorSize;
using testimage::Options;
using testimage::PartitionKind;
using testimage::Revision;
using testing_support::Bytes;
using testing_support::DescribeDifference;

// The time every timestamp of a test image holds: 2020-01-02 03:04:05 UTC.
constexpr std::time_t kWriterTime = 1577934245;

// Sets the process's time zone for a test, and puts the one before back.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* before = std::getenv("TZ")) m_before = before;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~TimeZone() {
    if (m_before) {
      setenv("TZ", m_before->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> m_before;
};

disc_image::ImagePatch Plan(const fs::path& image, bool convert3DTo2D, std::time_t now) {
  const platform::Directory dir = platform::Directory::OpenFolder(image.parent_path().string());
  const platform::File file = platform::File::OpenForReading(dir, image.filename().string());
  return disc_image::PlanImagePatch(file, convert3DTo2D, now);
}

Bytes Applied(Bytes image, const std::vector<disc_image::Region>& regions, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    std::copy(regions[i].after.begin(), regions[i].after.end(),
              image.begin() + static_cast<std::ptrdiff_t>(regions[i].offset));
  }
  return image;
}

// Regions lie inside the image, each inside one sector, and `before` is what the image holds.
void ExpectRegionsFit(const Bytes& image, const std::vector<disc_image::Region>& regions) {
  for (const disc_image::Region& region : regions) {
    ASSERT_EQ(region.before.size(), region.after.size());
    ASSERT_FALSE(region.after.empty());
    ASSERT_LE(region.offset + region.after.size(), image.size()) << region.offset;
    EXPECT_EQ(region.offset / kSectorSize, (region.offset + region.after.size() - 1) / kSectorSize)
        << "region at " << region.offset << " crosses a sector";
    const auto at = image.begin() + static_cast<std::ptrdiff_t>(region.offset);
    EXPECT_EQ(Bytes(at, at + static_cast<std::ptrdiff_t>(region.before.size())), region.before)
        << "before of the region at " << region.offset;
  }
}

std::vector<ImageFile> WithIndex(std::vector<ImageFile> files, const Bytes& index) {
  for (ImageFile& file : files) {
    if (file.path == "BDMV/index.bdmv") file.bytes = index;
  }
  return files;
}

struct Variant {
  std::string name;
  ImageOptions options;
  std::size_t indexLength = 0;  // 0: the disc's own index table; more: padded with zeros
  const char* refusal = nullptr;
};

std::vector<Variant> Variants() {
  namespace msg = image_messages;
  const ImageOptions plain = Options(Revision::k250, true, Allocation::kLong);
  ImageOptions fragmented = plain;
  fragmented.fragmentIndex = true;
  ImageOptions fragmentedBridge = Options(Revision::k102, false, Allocation::kShort, true);
  fragmentedBridge.fragmentIndex = true;
  ImageOptions shared = plain;
  shared.shareIndexWithBackup = true;
  ImageOptions sharedBridge = Options(Revision::k201, false, Allocation::kShort, true);
  sharedBridge.shareIndexWithBackup = true;
  ImageOptions virtualPartition = Options(Revision::k201, true, Allocation::kLong);
  virtualPartition.partition = PartitionKind::kVirtual;
  ImageOptions sparable = Options(Revision::k201, false, Allocation::kShort);
  sparable.partition = PartitionKind::kSparable;
  ImageOptions sparse = plain;
  sparse.sizeInSectors = 4096;
  return {
      {"2.50 EFE long", plain},
      {"2.50 FE long", Options(Revision::k250, false, Allocation::kLong)},
      {"2.50 EFE embedded", Options(Revision::k250, true, Allocation::kEmbedded)},
      {"2.50 FE embedded, entry just full", Options(Revision::k250, false, Allocation::kEmbedded),
       kSectorSize - 176 - 24},
      {"2.01 EFE short", Options(Revision::k201, true, Allocation::kShort)},
      {"2.01 FE long, bridge", Options(Revision::k201, false, Allocation::kLong, true)},
      {"1.02 FE short", Options(Revision::k102, false, Allocation::kShort)},
      {"1.02 FE embedded", Options(Revision::k102, false, Allocation::kEmbedded)},
      {"1.02 FE short, bridge", Options(Revision::k102, false, Allocation::kShort, true)},
      {"2.50 EFE long, bridge", Options(Revision::k250, true, Allocation::kLong, true)},
      {"2.50 fragmented index", fragmented, 5000},
      {"1.02 fragmented index, bridge", fragmentedBridge, 5000},
      {"2.50 last block with 24 bytes free", plain, kSectorSize + 2024},
      {"2.50 sparse", sparse},
      {"2.50 full last block", plain, 2 * kSectorSize, msg::kModifyNoRoom},
      {"2.50 last block with 23 bytes free", plain, kSectorSize + 2025, msg::kModifyNoRoom},
      {"2.50 embedded index without room", Options(Revision::k250, true, Allocation::kEmbedded),
       kSectorSize - 216 - 23, msg::kModifyNoRoom},
      {"1.02 embedded index in a bridge",
       Options(Revision::k102, false, Allocation::kEmbedded, true), 0, msg::kModifyIsoCopy},
      {"2.50 index sharing its extent with BACKUP", shared, 0, msg::kModifySharedData},
      {"2.01 shared extent, bridge", sharedBridge, 0, msg::kModifySharedData},
      {"2.01 virtual partition", virtualPartition, 0, msg::kModifyPartitionKind},
      {"2.01 sparable partition", sparable, 0, msg::kModifyPartitionKind},
  };
}

std::vector<ImageFile> FilesOf(const Variant& variant) {
  std::vector<ImageFile> files = testimage::DiscFiles(testdisc::k3DFlags);
  if (variant.indexLength > 0) {
    Bytes index = testdisc::IndexTable(testdisc::k3DFlags);
    index.resize(variant.indexLength);
    files = WithIndex(files, index);
  }
  return files;
}

Bytes IndexOf(const std::vector<ImageFile>& files) {
  for (const ImageFile& file : files) {
    if (file.path == "BDMV/index.bdmv") return file.bytes;
  }
  return {};
}

// At the writer's own time in UTC the movie-object file's time stays, and the patch must turn the
// image into exactly the one the writer makes of the patched index file; every step before must
// read, through libudfread, as the original, the original with the block beyond its address-less
// end, or the whole patch.
TEST(UdfPlanTest, PatchedImageIsTheImageOfThePatchedFiles) {
  const TimeZone utc("UTC0");
  testing_support::TempTree tree;
  const fs::path path = tree / "disc.iso";
  for (const Variant& variant : Variants()) {
    for (const bool convert : {false, true}) {
      SCOPED_TRACE(variant.name + (convert ? ", converting" : ""));
      const std::vector<ImageFile> files = FilesOf(variant);
      const Bytes image = testimage::BuildImage(files, variant.options);
      testing_support::WriteBytes(path, image);
      const disc_image::ImagePatch patch = Plan(path, convert, kWriterTime);
      if (variant.refusal) {
        EXPECT_EQ(patch.refusal, variant.refusal);
        EXPECT_TRUE(patch.regions.empty());
        continue;
      }
      ASSERT_EQ(patch.refusal, "");
      EXPECT_EQ(patch.indexPath, "BDMV/index.bdmv");
      EXPECT_TRUE(patch.header.isIndexTable);
      EXPECT_EQ(patch.header.flags, testdisc::k3DFlags);
      ExpectRegionsFit(image, patch.regions);

      const Bytes original = IndexOf(files);
      const Bytes patchedIndex = testing_support::PatchedBytes(original, convert);
      Bytes blockOnly = original;
      blockOnly.insert(blockOnly.end(), patchedIndex.end() - 24, patchedIndex.end());
      const Bytes expected = testimage::BuildImage(WithIndex(files, patchedIndex), variant.options);
      EXPECT_EQ(DescribeDifference(expected, Applied(image, patch.regions, patch.regions.size())),
                "");

      for (std::size_t count = 0; count <= patch.regions.size(); ++count) {
        testing_support::WriteBytes(path, Applied(image, patch.regions, count));
        const std::optional<Bytes> read = testimage::ReadImageFile(path, "BDMV/index.bdmv");
        ASSERT_TRUE(read) << "after " << count << " regions";
        EXPECT_TRUE(*read == original || *read == blockOnly || *read == patchedIndex)
            << "after " << count << " regions: " << DescribeDifference(patchedIndex, *read);
      }
      EXPECT_EQ(testimage::ReadImageFile(path, "BDMV/index.bdmv"), patchedIndex);
    }
  }
}

std::uint16_t Le16(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Gives a descriptor the CRC (unless told not to) and checksum its tag asks for, as a writer
// would.
void Reseal(std::uint8_t* descriptor, bool crc = true) {
  if (crc) {
    const std::uint16_t value =
        testimage::udf::Crc(descriptor + 16, descriptor[10] | descriptor[11] << 8);
    descriptor[8] = static_cast<std::uint8_t>(value);
    descriptor[9] = static_cast<std::uint8_t>(value >> 8);
  }
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 16; ++i)
    sum = static_cast<std::uint8_t>(sum + (i == 4 ? 0 : descriptor[i]));
  descriptor[4] = sum;
}

// The regions change the sectors that hold the two files' entries and records and the index
// file's first and last data blocks, no others; the movie-object file's first, the index file's
// first data block last.
void ExpectSectorsOfBothFiles(const std::vector<ImageFile>& files, const ImageOptions& options,
                              const std::vector<disc_image::Region>& regions) {
  const auto movieObject = testimage::PlacementOf(files, options, "BDMV/MovieObject.bdmv");
  const auto index = testimage::PlacementOf(files, options, "BDMV/index.bdmv");
  std::set<std::uint64_t> expected;
  for (const auto* sectors : {&movieObject.entrySectors, &movieObject.listingSectors,
                              &index.entrySectors, &index.listingSectors}) {
    expected.insert(sectors->begin(), sectors->end());
  }
  if (!index.dataSectors.empty()) {
    expected.insert(index.dataSectors.front());
    expected.insert(index.dataSectors.back());
  }
  std::set<std::uint64_t> changed;
  for (const disc_image::Region& region : regions) changed.insert(region.offset / kSectorSize);
  EXPECT_EQ(changed, expected);
  ASSERT_FALSE(regions.empty());
  EXPECT_EQ(regions.front().offset / kSectorSize, movieObject.entrySectors.front());
  const std::uint64_t last =
      index.dataSectors.empty() ? index.entrySectors.back() : index.dataSectors.front();
  EXPECT_EQ(regions.back().offset / kSectorSize, last);
}

// Elsewhere the time goes into both entries (both copies of each under a metadata partition) and
// every ISO 9660 and Joliet record of them, in the local zone with its offset; each entry keeps a
// checksum and CRC that hold, and nothing else differs from the patch made at the writer's time.
TEST(UdfPlanTest, TheTimeIsNowInTheLocalZoneWhereverTheFilesAreDescribed) {
  // 2023-11-14 22:13:20 UTC, which is 03:43:20 the next day at +05:30.
  constexpr std::time_t kNow = 1700000000;
  const Bytes timestamp = {0x4A, 0x11, 0xE7, 0x07, 11, 15, 3, 43, 20, 0, 0, 0};
  const Bytes recordDate = {123, 11, 15, 3, 43, 20, 22};
  testing_support::TempTree tree;
  const fs::path path = tree / "disc.iso";
  for (const Variant& variant : Variants()) {
    if (variant.refusal) continue;
    SCOPED_TRACE(variant.name);
    const std::vector<ImageFile> files = FilesOf(variant);
    const Bytes image = testimage::BuildImage(files, variant.options);
    testing_support::WriteBytes(path, image);
    const disc_image::ImagePatch atWriterTime = [&] {
      const TimeZone utc("UTC0");
      return Plan(path, false, kWriterTime);
    }();
    const disc_image::ImagePatch now = [&] {
      const TimeZone india("IST-5:30");
      return Plan(path, false, kNow);
    }();
    ASSERT_EQ(now.refusal, "");
    ExpectRegionsFit(image, now.regions);
    ExpectSectorsOfBothFiles(files, variant.options, now.regions);
    const Bytes reference = Applied(image, atWriterTime.regions, atWriterTime.regions.size());
    const Bytes patched = Applied(image, now.regions, now.regions.size());

    std::size_t entries = 0;
    std::size_t isoSectors = 0;
    for (std::size_t sector = 0; sector < image.size() / kSectorSize; ++sector) {
      const auto first = static_cast<std::ptrdiff_t>(sector * kSectorSize);
      const Bytes was(reference.begin() + first, reference.begin() + first + kSectorSize);
      const Bytes is(patched.begin() + first, patched.begin() + first + kSectorSize);
      if (was == is) continue;
      const std::uint16_t tag = Le16(is, 0);
      if (tag == 261 || tag == 266) {
        ++entries;
        const std::size_t timeAt = tag == 261 ? 84 : 92;
        EXPECT_EQ(Bytes(is.begin() + timeAt, is.begin() + timeAt + 12), timestamp);
        Bytes expected = was;
        std::copy(timestamp.begin(), timestamp.end(), expected.begin() + timeAt);
        Reseal(expected.data());
        EXPECT_EQ(DescribeDifference(expected, is), "") << "entry in sector " << sector;
        continue;
      }
      ++isoSectors;
      for (std::size_t i = 0; i < kSectorSize; ++i) {
        if (was[i] == is[i]) continue;
        bool inDate = false;
        for (std::size_t at = i >= 6 ? i - 6 : 0; at <= i && at + 7 <= kSectorSize; ++at) {
          inDate = inDate || Bytes(is.begin() + static_cast<std::ptrdiff_t>(at),
                                   is.begin() + static_cast<std::ptrdiff_t>(at + 7)) == recordDate;
        }
        EXPECT_TRUE(inDate) << "ISO 9660 sector " << sector << " byte " << i;
      }
    }
    const bool mirrored = variant.options.revision == Revision::k250;
    EXPECT_EQ(entries, mirrored ? 4u : 2u);
    EXPECT_EQ(isoSectors, variant.options.bridge ? 2u : 0u) << "the ISO 9660 and Joliet BDMV";

    testing_support::WriteBytes(path, patched);
    EXPECT_EQ(testimage::ReadImageFile(path, "BDMV/index.bdmv"),
              testing_support::PatchedBytes(IndexOf(files), false));
  }
}

TEST(UdfPlanTest, FindsTheIndexByTheFolderRulesAndLeavesOthersAlone) {
  struct Case {
    const char* name;
    std::vector<ImageFile> files;
    const char* refusal;
    std::string indexPath;
    std::size_t regions;  // 0: none, 1: some
  };
  const std::vector<ImageFile> disc = testimage::DiscFiles(0);
  std::vector<ImageFile> alternative = disc;
  alternative.front().path = "BDMV/INDEX.BDM";
  std::vector<ImageFile> noIndex(disc.begin() + 1, disc.end());
  std::vector<ImageFile> notAnIndex = WithIndex(disc, Bytes(100, 'x'));
  std::vector<ImageFile> patched =
      WithIndex(disc, testing_support::PatchedBytes(IndexOf(disc), false));
  std::vector<ImageFile> lowerCaseFolder = disc;
  for (ImageFile& file : lowerCaseFolder) file.path.replace(0, 4, "bdmv");
  const std::vector<Case> cases = {
      {"alternative name", alternative, "", "BDMV/INDEX.BDM", 1},
      {"folder in lower case", lowerCaseFolder, "", "bdmv/index.bdmv", 1},
      {"no index file", noIndex, folder_messages::kModifyNoIndex, "", 0},
      {"no BDMV folder",
       {{"OTHER/index.bdmv", IndexOf(disc)}},
       folder_messages::kModifyNoIndex,
       "",
       0},
      {"not an index table", notAnIndex, folder_messages::kModifyNotAnIndex, "BDMV/index.bdmv", 0},
      {"already patched", patched, "", "BDMV/index.bdmv", 0},
  };
  ASSERT_EQ(disc.front().path, "BDMV/index.bdmv");
  testing_support::TempTree tree;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testimage::WriteImage(tree / "disc.iso", c.files, ImageOptions{});
    const disc_image::ImagePatch patch = Plan(tree / "disc.iso", true, kWriterTime);
    EXPECT_EQ(patch.refusal, c.refusal);
    EXPECT_EQ(patch.indexPath, c.indexPath);
    EXPECT_EQ(patch.regions.empty(), c.regions == 0);
  }

  // A copy made with 8.3 names: its movie-object file's entry is among the regions.
  std::vector<ImageFile> shortNames = alternative;
  ASSERT_EQ(shortNames[1].path, "BDMV/MovieObject.bdmv");
  shortNames[1].path = "BDMV/MOVIEOBJ.BDM";
  testimage::WriteImage(tree / "disc.iso", shortNames, ImageOptions{});
  const std::uint64_t movieObject =
      testimage::PlacementOf(shortNames, ImageOptions{}, "BDMV/MOVIEOBJ.BDM").entrySectors.front();
  const auto regions = Plan(tree / "disc.iso", false, kWriterTime + 60).regions;
  EXPECT_TRUE(std::any_of(regions.begin(), regions.end(), [&](const disc_image::Region& r) {
    return r.offset / kSectorSize == movieObject;
  }));

  testing_support::WriteBytes(tree / "plain.iso", Bytes(300 * kSectorSize, 0));
  EXPECT_EQ(Plan(tree / "plain.iso", false, kWriterTime).refusal, image_messages::kModifyNotUdf);
}

// Readers find the volume from the anchor at sector 256, else from the one in the last sector,
// and its descriptors from the main sequence, else from the reserve one; the plan does too.
TEST(UdfPlanTest, TheVolumeIsFoundThroughEitherAnchorAndEitherSequence) {
  testing_support::TempTree tree;
  const Bytes image = testimage::BuildImage(testimage::DiscFiles(0), ImageOptions{});
  const std::size_t anchor = 256 * kSectorSize;
  const std::size_t mainSequence =
      (Le16(image, anchor + 20) | std::size_t{Le16(image, anchor + 22)} << 16) * kSectorSize;
  auto zeroed = [&image](std::vector<std::size_t> sectorsAt) {
    Bytes copy = image;
    for (const std::size_t at : sectorsAt)
      std::fill_n(copy.begin() + static_cast<std::ptrdiff_t>(at), kSectorSize, 0);
    return copy;
  };
  struct Case {
    const char* name;
    Bytes image;
    bool isUdf;
  };
  const std::vector<Case> cases = {
      {"both anchors", image, true},
      {"the last sector's anchor", zeroed({anchor}), true},
      {"the reserve sequence", zeroed({mainSequence}), true},
      {"no anchor", zeroed({anchor, image.size() - kSectorSize}), false},
      {"zeros", Bytes(image.size(), 0), false},
      {"shorter than sector 256", Bytes(image.begin(), image.begin() + anchor), false},
  };
  const std::vector<disc_image::Region> expected = [&] {
    testing_support::WriteBytes(tree / "disc.iso", image);
    return Plan(tree / "disc.iso", false, kWriterTime).regions;
  }();
  ASSERT_FALSE(expected.empty());
  const platform::Directory dir = platform::Directory::OpenFolder(tree.Root().string());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::WriteBytes(tree / "disc.iso", c.image);
    EXPECT_EQ(disc_image::IsUdfImage(dir, "disc.iso"), c.isUdf);
    const disc_image::ImagePatch patch = Plan(tree / "disc.iso", false, kWriterTime);
    EXPECT_EQ(patch.refusal, c.isUdf ? "" : image_messages::kModifyNotUdf);
    if (!c.isUdf) continue;
    ASSERT_EQ(patch.regions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(patch.regions[i].offset, expected[i].offset);
      EXPECT_EQ(patch.regions[i].after, expected[i].after);
    }
  }
}

// What the writer never makes, made by editing its image's descriptors (and resealing them): each
// refused with its own text.
TEST(UdfPlanTest, DescriptorsBeyondWhatCanBePatchedAreRefusedByName) {
  namespace msg = image_messages;
  const std::vector<ImageFile> files = testimage::DiscFiles(0);
  const ImageOptions options;
  const Bytes image = testimage::BuildImage(files, options);
  const auto index = testimage::PlacementOf(files, options, "BDMV/index.bdmv");
  // The root directory's, the first the writer lays out.
  std::size_t firstIdentifier = 0;
  while (Le16(image, firstIdentifier) != 257) firstIdentifier += kSectorSize;
  const std::size_t anchor = 256 * kSectorSize;
  const std::size_t mainSequence =
      (Le16(image, anchor + 20) | std::size_t{Le16(image, anchor + 22)} << 16) * kSectorSize;
  std::size_t logicalVolume = mainSequence;
  while (Le16(image, logicalVolume) != 6) logicalVolume += kSectorSize;
  std::size_t reserveLogicalVolume =
      (Le16(image, anchor + 28) | std::size_t{Le16(image, anchor + 30)} << 16) * kSectorSize;
  while (Le16(image, reserveLogicalVolume) != 6) reserveLogicalVolume += kSectorSize;
  std::size_t partition = mainSequence;
  while (Le16(image, partition) != 5) partition += kSectorSize;

  using Edit = std::function<void(Bytes&)>;
  auto inIndexEntries = [&index](const Edit& edit) {
    return [&index, edit](Bytes& bytes) {
      for (const std::uint64_t sector : index.entrySectors) {
        Bytes entry(bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize),
                    bytes.begin() + static_cast<std::ptrdiff_t>((sector + 1) * kSectorSize));
        edit(entry);
        Reseal(entry.data());
        std::copy(entry.begin(), entry.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize));
      }
    };
  };
  // Blocks added to the partition's length (or, past 2^31, the length itself).
  auto partitionLength = [&](std::uint32_t length) -> Edit {
    return [&, length](Bytes& bytes) {
      const std::size_t at = partition + 192;
      const std::uint32_t now = Le16(bytes, at) | std::uint32_t{Le16(bytes, at + 2)} << 16;
      testimage::PutLe32(bytes, at, length > 0x80000000 ? length : now + length);
      Reseal(bytes.data() + partition);
    };
  };
  // The same change in both sequences' logical volume descriptor, as neither can stand in.
  auto inLogicalVolumes = [&](const Edit& edit) {
    return [&, edit](Bytes& bytes) {
      for (const std::size_t at : {logicalVolume, reserveLogicalVolume}) {
        Bytes descriptor(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + kSectorSize));
        edit(descriptor);
        Reseal(descriptor.data());
        std::copy(descriptor.begin(), descriptor.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(at));
      }
    };
  };
  struct Case {
    const char* name;
    Edit edit;
    const char* refusal;
  };
  const std::vector<Case> cases = {
      {"4096-byte blocks",
       [&](Bytes& bytes) {
         bytes[logicalVolume + 213] = 0x10;
         Reseal(bytes.data() + logicalVolume);
       },
       msg::kModifyBlockSize},
      {"extended allocation descriptors", inIndexEntries([](Bytes& e) { e[34] = 2; }),
       msg::kModifyExtendedAllocation},
      {"two names of the index file's entry", inIndexEntries([](Bytes& e) { e[48] = 2; }),
       msg::kModifySharedData},
      {"index data beyond the partition",
       inIndexEntries([](Bytes& e) { std::fill_n(e.begin() + 216 + 4, 4, 0xEE); }),
       msg::kModifyDamaged},
      {"allocation descriptors beyond the block", inIndexEntries([](Bytes& e) { e[213] = 0x08; }),
       msg::kModifyDamaged},
      {"information length beyond the data",
       inIndexEntries([](Bytes& e) { e[57] = static_cast<std::uint8_t>(e[57] + 8); }),
       msg::kModifyUnsupportedLayout},
      // A download that stopped early.
      {"image cut short before the index file's data",
       [&](Bytes& bytes) { bytes.resize(index.dataSectors.front() * kSectorSize); },
       msg::kModifyDamaged},
      // Every file whole, but not the partition (the image cut short, or a length made up): no
      // reader would take the volume whole.
      {"partition a block past the image's end", partitionLength(+2), msg::kModifyDamaged},
      {"partition of 2^32 - 1 blocks", partitionLength(0xFFFFFFFF), msg::kModifyDamaged},
      {"partition maps longer than their sector",
       inLogicalVolumes([](Bytes& d) { testimage::PutLe32(d, 264, 1700); }), msg::kModifyDamaged},
      // The metadata partition's map, after the physical one's six bytes.
      {"partition map shorter than its kind's", inLogicalVolumes([](Bytes& d) { d[447] = 20; }),
       msg::kModifyDamaged},
      {"index file's entry with a CRC that does not hold",
       [&](Bytes& bytes) {
         for (const std::uint64_t sector : index.entrySectors) {
           bytes[sector * kSectorSize + 8] ^= 0x5A;
           Reseal(bytes.data() + sector * kSectorSize, false);
         }
       },
       msg::kModifyDamaged},
      {"file identifier whose tag names another block",
       [&](Bytes& bytes) {
         std::uint8_t* fid = bytes.data() + firstIdentifier;
         fid[13] = static_cast<std::uint8_t>(fid[13] + 3);
         Reseal(fid);
       },
       msg::kModifyDamaged},
  };
  testing_support::TempTree tree;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes edited = image;
    c.edit(edited);
    testing_support::WriteBytes(tree / "disc.iso", edited);
    const disc_image::ImagePatch patch = Plan(tree / "disc.iso", false, kWriterTime);
    EXPECT_EQ(patch.refusal, c.refusal);
    EXPECT_TRUE(patch.regions.empty());
  }

  // A partition up to the image's last sector is whole.
  Bytes whole = image;
  partitionLength(1)(whole);
  testing_support::WriteBytes(tree / "disc.iso", whole);
  EXPECT_EQ(Plan(tree / "disc.iso", false, kWriterTime).refusal, "");

  // An ISO 9660 record whose name runs past the record's end.
  const ImageOptions bridge = Options(Revision::k102, false, Allocation::kShort, true);
  Bytes bridged = testimage::BuildImage(files, bridge);
  std::size_t record =
      testimage::PlacementOf(files, bridge, "BDMV/index.bdmv").listingSectors.front() * kSectorSize;
  while (bridged[record + 32] == 1 && bridged[record + 33] <= 1) record += bridged[record];
  bridged[record + 32] = static_cast<std::uint8_t>(bridged[record] - 32);
  testing_support::WriteBytes(tree / "disc.iso", bridged);
  EXPECT_EQ(Plan(tree / "disc.iso", false, kWriterTime).refusal, msg::kModifyDamaged);
}

// Bytes of the sector overwritten at random (with the tag resealed, so that the reader trusts
// the descriptor and goes on with its damaged fields), or the image cut short: the plan refuses
// or plans regions that fit the image, and never crashes or reads past the end.
TEST(UdfPlanTest, DamagedImagesAreRefusedOrPlannedWithinTheImage) {
  std::mt19937 random(20261207);
  testing_support::TempTree tree;
  const fs::path path = tree / "disc.iso";
  std::size_t planned = 0;
  std::size_t refused = 0;
  for (const Variant& variant : Variants()) {
    if (variant.refusal || variant.options.sizeInSectors != 0) continue;
    const Bytes original = testimage::BuildImage(FilesOf(variant), variant.options);
    std::vector<std::size_t> used;
    for (std::size_t sector = 0; sector < original.size() / kSectorSize; ++sector) {
      const auto first = original.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize);
      if (std::any_of(first, first + kSectorSize, [](std::uint8_t b) { return b != 0; })) {
        used.push_back(sector);
      }
    }
    for (int round = 0; round < 60; ++round) {
      Bytes image = original;
      const int changes = 1 + static_cast<int>(random() % 3);
      for (int i = 0; i < changes; ++i) {
        const std::size_t sector = used[random() % used.size()];
        // Descriptors and records lie mostly in a sector's first bytes.
        const std::size_t at =
            sector * kSectorSize + random() % (random() % 4 == 0 ? kSectorSize : 512);
        image[at] = static_cast<std::uint8_t>(random());
        std::uint8_t* tag = image.data() + sector * kSectorSize;
        if ((tag[0] | tag[1]) != 0 && 16u + (tag[10] | tag[11] << 8) <= kSectorSize) Reseal(tag);
      }
      if (random() % 8 == 0) image.resize(random() % image.size());
      testing_support::WriteBytes(path, image);
      const disc_image::ImagePatch patch = Plan(path, random() % 2 == 0, kWriterTime + round);
      ++(patch.refusal.empty() ? planned : refused);
      if (!patch.refusal.empty()) {
        EXPECT_TRUE(patch.regions.empty()) << patch.refusal;
      }
      ExpectRegionsFit(image, patch.regions);
    }
  }
  EXPECT_GT(planned, 0u);
  EXPECT_GT(refused, 0u);
}

}  // namespace
