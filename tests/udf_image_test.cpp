// The test images, read back by the readers players use: libudfread for every variant,
// libbluray's bd_info for the disc as a whole, and a plain ISO 9660 reader for the bridge. The
// image tests stand on these.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/bd_disc.h"
#include "tests/support/disc_report.h"
#include "tests/support/image_variants.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_descriptors.h"
#include "tests/support/udf_image.h"
#include "tests/support/udf_reader.h"

namespace {

namespace fs = std::filesystem;
using testimage::Allocation;
using testimage::ImageFile;
using testimage::ImageVariant;
using testimage::kSectorSize;
using testimage::Revision;
using testing_support::Bytes;
using testing_support::DescribeDifference;
using testing_support::kBdInfo;
using testing_support::kBdListTitles;
using testing_support::ReadBytes;

std::uint16_t Le16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

std::vector<ImageVariant> AllVariants() {
  std::vector<ImageVariant> all = testimage::PatchableVariants();
  for (ImageVariant& v : testimage::RefusedVariants()) all.push_back(std::move(v));
  return all;
}

// The files a reader must find: the disc's, and the backup entry an image with a shared extent
// adds.
std::vector<ImageFile> ExpectedFiles(const ImageVariant& variant) {
  std::vector<ImageFile> files = testimage::VariantFiles(variant, testdisc::k3DFlags);
  if (variant.options.shareIndexWithBackup) {
    files.push_back({"BDMV/BACKUP/index.bdmv", files.front().bytes});
  }
  return files;
}

void ExpectLibudfreadReads(const fs::path& image, const std::vector<ImageFile>& files) {
  for (const ImageFile& file : files) {
    const std::optional<Bytes> read = testimage::ReadImageFile(image, file.path);
    ASSERT_TRUE(read) << "libudfread cannot read " << file.path;
    EXPECT_EQ(DescribeDifference(file.bytes, *read), "") << file.path;
  }
}

TEST(UdfImageTest, LibudfreadReadsEveryFileOfEveryVariant) {
  testing_support::TempTree tree;
  for (const ImageVariant& variant : AllVariants()) {
    SCOPED_TRACE(variant.name);
    const fs::path image = tree / "disc.iso";
    testimage::WriteImage(image, testimage::VariantFiles(variant, testdisc::k3DFlags),
                          variant.options);
    ExpectLibudfreadReads(image, ExpectedFiles(variant));
    if (variant.options.sizeInSectors != 0) {
      EXPECT_EQ(fs::file_size(image), variant.options.sizeInSectors * kSectorSize);
    }
  }
}

// Readers look for the anchor at the last sector when sector 256 holds none.
TEST(UdfImageTest, TheAnchorInTheLastSectorLeadsToTheSameFiles) {
  testing_support::TempTree tree;
  for (const ImageVariant& variant : testimage::PatchableVariants()) {
    if (variant.options.sizeInSectors != 0) continue;  // BuildImage keeps it all in memory
    SCOPED_TRACE(variant.name);
    Bytes image = testimage::BuildImage(testimage::VariantFiles(variant, testdisc::k3DFlags),
                                        variant.options);
    std::fill_n(image.begin() + 256 * kSectorSize, kSectorSize, 0);
    testing_support::WriteBytes(tree / "disc.iso", image);
    ExpectLibudfreadReads(tree / "disc.iso", ExpectedFiles(variant));
  }
}

TEST(UdfImageTest, WriteImageWritesWhatBuildImageBuilds) {
  testing_support::TempTree tree;
  const ImageVariant variant = testimage::PatchableVariants().front();
  const auto files = testimage::VariantFiles(variant, 0);
  testimage::WriteImage(tree / "disc.iso", files, variant.options);
  EXPECT_EQ(DescribeDifference(testimage::BuildImage(files, variant.options),
                               testing_support::ReadBytes(tree / "disc.iso")),
            "");
}

// The image tests tell from PlacementOf which sectors a patch may change.
TEST(UdfImageTest, PlacementNamesTheSectorsThatHoldAFile) {
  for (const ImageVariant& variant : testimage::PatchableVariants()) {
    if (variant.options.sizeInSectors != 0) continue;
    SCOPED_TRACE(variant.name);
    const auto files = testimage::VariantFiles(variant, testdisc::k3DFlags);
    const Bytes image = testimage::BuildImage(files, variant.options);
    for (const ImageFile& file : files) {
      SCOPED_TRACE(file.path);
      const auto placement = testimage::PlacementOf(files, variant.options, file.path);
      ASSERT_EQ(placement.entrySectors.size(),
                variant.options.revision == testimage::Revision::k250 ? 2u : 1u);
      for (const std::uint64_t sector : placement.entrySectors) {
        const std::size_t at = sector * kSectorSize;
        EXPECT_EQ(Le16(image, at), variant.options.extendedEntries ? 266 : 261);
        EXPECT_EQ(Le32(image, at + 56), file.bytes.size()) << "information length";
      }
      Bytes data;
      for (const std::uint64_t sector : placement.dataSectors) {
        const auto from = image.begin() + static_cast<std::ptrdiff_t>(sector * kSectorSize);
        data.insert(data.end(), from, from + kSectorSize);
      }
      if (!data.empty()) data.resize(file.bytes.size());
      const std::size_t entrySize = variant.options.extendedEntries ? 216 : 176;
      const bool embedded = variant.options.allocation == testimage::Allocation::kEmbedded &&
                            entrySize + file.bytes.size() <= kSectorSize;
      EXPECT_EQ(DescribeDifference(embedded ? Bytes{} : file.bytes, data), "");
      EXPECT_EQ(placement.listingSectors.size(), variant.options.bridge ? 2u : 0u);
    }
  }
}

// ---- tags ----

bool ChecksumHolds(const Bytes& b, std::size_t at) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    if (i != 4) sum = static_cast<std::uint8_t>(sum + b[at + i]);
  }
  return sum == b[at + 4];
}

bool LooksLikeTag(const Bytes& b, std::size_t at) {
  const std::uint16_t id = Le16(b, at), version = Le16(b, at + 2);
  const bool known = (id >= 1 && id <= 9) || (id >= 256 && id <= 266);
  return known && (version == 2 || version == 3) && ChecksumHolds(b, at);
}

// A reader such as 7-Zip drops a whole volume over one bad CRC: every descriptor's must hold.
TEST(UdfImageTest, EveryDescriptorCarriesItsCrc) {
  const std::string_view checkInput = "123456789";
  EXPECT_EQ(testimage::udf::Crc(reinterpret_cast<const std::uint8_t*>(checkInput.data()),
                                checkInput.size()),
            0x31C3);  // the CRC-ITU-T (initial value 0) check value
  for (const ImageVariant& variant : testimage::PatchableVariants()) {
    if (variant.options.sizeInSectors != 0) continue;
    SCOPED_TRACE(variant.name);
    const Bytes image = testimage::BuildImage(testimage::VariantFiles(variant, testdisc::k3DFlags),
                                              variant.options);
    int descriptors = 0;
    for (std::size_t sector = 0; sector < image.size(); sector += kSectorSize) {
      // Identifiers follow one another in a directory's blocks; other descriptors start one.
      for (std::size_t at = sector; at + 16 <= sector + kSectorSize && LooksLikeTag(image, at);) {
        const std::size_t crcLength = Le16(image, at + 10);
        ASSERT_LE(at + 16 + crcLength, image.size());
        EXPECT_EQ(Le16(image, at + 8), testimage::udf::Crc(image.data() + at + 16, crcLength))
            << "descriptor " << Le16(image, at) << " at byte " << at;
        ++descriptors;
        if (Le16(image, at) != 257) break;
        at += 16 + crcLength;
      }
    }
    // Anchors, two volume sequences, integrity, file set, and the entries and identifiers.
    EXPECT_GE(descriptors, 2 + 2 * 6 + 2 + 1 + 2 * 10);
  }
}

// ---- bd_info ----

TEST(UdfImageTest, BdInfoListsTheImageAsItListsTheFolder) {
  ASSERT_TRUE(fs::exists(kBdInfo)) << kBdInfo << " is not installed (Debian package libbluray-bin)";
  testing_support::TempTree tree;
  for (const ImageVariant& variant : testimage::PatchableVariants()) {
    SCOPED_TRACE(variant.name);
    const auto files = testimage::VariantFiles(variant, testdisc::k3DFlags);
    fs::remove_all(tree / "folder");
    testdisc::WriteFiles(tree / "folder", files);
    testimage::WriteImage(tree / "disc.iso", files, variant.options);
    // What each prints only for a disc it has read.
    for (const auto& [tool, sign] : {std::pair{kBdInfo, "HDMV titles         : 1\n"},
                                     std::pair{kBdListTitles, "(playlist: 00000.mpls)"}}) {
      const auto folder = testing_support::DiscReport(tool, tree / "folder");
      const auto image = testing_support::DiscReport(tool, tree / "disc.iso");
      ASSERT_EQ(image.exitStatus, 0) << tool << "\n" << image.out << image.err;
      EXPECT_NE(folder.out.find(sign), std::string::npos) << tool << "\n" << folder.out;
      EXPECT_EQ(image.out, folder.out) << tool;
    }
  }
}

// ---- the ISO 9660 view of a bridge ----

std::uint32_t Be32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]);
}

struct IsoRecord {
  std::uint32_t sector = 0, length = 0;
  std::string id;
};

std::vector<IsoRecord> Records(const Bytes& image, std::uint32_t sector) {
  std::vector<IsoRecord> records;
  const std::size_t start = std::size_t{sector} * kSectorSize;
  for (std::size_t at = start; at < start + kSectorSize && image[at] != 0; at += image[at]) {
    EXPECT_EQ(Le32(image, at + 2), Be32(image, at + 6)) << "both byte orders of the location";
    EXPECT_EQ(Le32(image, at + 10), Be32(image, at + 14)) << "both byte orders of the length";
    records.push_back(
        {Le32(image, at + 2), Le32(image, at + 10),
         std::string(image.begin() + static_cast<std::ptrdiff_t>(at + 33),
                     image.begin() + static_cast<std::ptrdiff_t>(at + 33 + image[at + 32]))});
  }
  return records;
}

// Follows the path's names from the root record of the descriptor at `descriptorSector` and
// joins the extents of every record the file has.
std::optional<Bytes> ReadIsoFile(const Bytes& image, std::uint32_t descriptorSector,
                                 const std::vector<std::string>& names) {
  std::uint32_t dir = Le32(image, descriptorSector * kSectorSize + 156 + 2);
  for (std::size_t i = 0; i + 1 < names.size(); ++i) {
    std::optional<std::uint32_t> next;
    for (const IsoRecord& r : Records(image, dir)) {
      if (r.id == names[i]) next = r.sector;
    }
    if (!next) return std::nullopt;
    dir = *next;
  }
  std::optional<Bytes> data;
  for (const IsoRecord& r : Records(image, dir)) {
    if (r.id != names.back()) continue;
    if (!data) data.emplace();
    const auto from =
        image.begin() + static_cast<std::ptrdiff_t>(std::size_t{r.sector} * kSectorSize);
    data->insert(data->end(), from, from + r.length);
  }
  return data;
}

std::string Ucs2(std::string_view name) {
  std::string ucs2;
  for (const char c : name) ucs2 += {'\0', c};
  return ucs2;
}

// The path's names as Joliet records spell them.
std::vector<std::string> JolietNames(const std::string& path) {
  std::vector<std::string> names;
  for (std::size_t at = 0; at < path.size();) {
    const std::size_t slash = std::min(path.find('/', at), path.size());
    names.push_back(Ucs2(path.substr(at, slash - at)));
    at = slash + 1;
  }
  return names;
}

TEST(UdfImageTest, BridgeRecordsPointAtTheFilesData) {
  // The level 1 names, spelled out.
  const std::vector<std::vector<std::string>> isoNames = {
      {"BDMV", "INDEX.BDM;1"},
      {"BDMV", "MOVIEOBJECT.BDM;1"},
      {"BDMV", "PLAYLIST", "00000.MPL;1"},
      {"BDMV", "CLIPINF", "00000.CLP;1"},
      {"BDMV", "STREAM", "00000.M2T;1"},
  };
  for (const ImageVariant& variant : testimage::PatchableVariants()) {
    if (!variant.options.bridge) continue;
    SCOPED_TRACE(variant.name);
    const auto files = testimage::VariantFiles(variant, testdisc::k3DFlags);
    const Bytes image = testimage::BuildImage(files, variant.options);
    EXPECT_EQ(
        std::string(image.begin() + 16 * kSectorSize + 1, image.begin() + 16 * kSectorSize + 6),
        "CD001");
    for (std::size_t i = 0; i < files.size(); ++i) {
      SCOPED_TRACE(files[i].path);
      const std::optional<Bytes> iso = ReadIsoFile(image, 16, isoNames[i]);
      ASSERT_TRUE(iso);
      EXPECT_EQ(DescribeDifference(files[i].bytes, *iso), "");
      const std::optional<Bytes> fromJoliet = ReadIsoFile(image, 17, JolietNames(files[i].path));
      ASSERT_TRUE(fromJoliet);
      EXPECT_EQ(DescribeDifference(files[i].bytes, *fromJoliet), "");
    }
  }
}

// Random trees of files of random sizes (empty, one byte short of a block, a block, a block
// and a byte, many blocks) under random options: libudfread, and the Joliet view of a bridge,
// read back every file.
TEST(UdfImageTest, RandomFilesReadBackUnderRandomOptions) {
  std::mt19937 random(20261207);
  auto pick = [&random](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const std::vector<std::string> folders = {"", "BDMV/", "BDMV/PLAYLIST/", "a/b/c/d/"};
  const std::vector<std::size_t> sizes = {0, 1, 120, 2047, 2048, 2049, 6000, 20000};
  testing_support::TempTree tree;
  for (int round = 0; round < 40; ++round) {
    testimage::ImageOptions options;
    options.revision = std::vector{Revision::k102, Revision::k201, Revision::k250}[pick(3)];
    options.extendedEntries = options.revision != Revision::k102 && pick(2) == 1;
    options.allocation =
        std::vector{Allocation::kShort, Allocation::kLong, Allocation::kEmbedded}[pick(3)];
    if (options.revision == Revision::k250 && options.allocation == Allocation::kShort) {
      options.allocation = Allocation::kLong;
    }
    options.bridge = pick(2) == 1;
    std::vector<ImageFile> files;
    for (std::size_t i = 0, count = 1 + pick(12); i < count; ++i) {
      Bytes bytes(sizes[pick(sizes.size())]);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
      files.push_back({folders[pick(folders.size())] + "file" + std::to_string(i) + ".bin", bytes});
    }
    SCOPED_TRACE("round " + std::to_string(round));
    testimage::WriteImage(tree / "random.iso", files, options);
    ExpectLibudfreadReads(tree / "random.iso", files);
    if (!options.bridge) continue;
    const Bytes image = ReadBytes(tree / "random.iso");
    for (const ImageFile& file : files) {
      const std::optional<Bytes> joliet = ReadIsoFile(image, 17, JolietNames(file.path));
      ASSERT_TRUE(joliet) << file.path;
      EXPECT_EQ(DescribeDifference(file.bytes, *joliet), "") << file.path;
    }
  }
}

}  // namespace
