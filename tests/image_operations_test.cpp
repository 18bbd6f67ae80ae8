// Modify, Restore and scan of an image with regions planned at random over a plain file: every
// interruption leaves an image that the next Modify finishes and Restore gives back exactly, and
// the backup file beside it holds what undoes each changed byte.
#include <algorithm>
#include <optional>
#include <random>

#include <gtest/gtest.h>

#include "bdmv/folder_messages.h"
#include "disc_image/disc_image.h"
#include "disc_image/image_backup_file.h"
#include "disc_image/image_messages.h"
#include "disc_image/image_operations.h"
#include "platform/fault_injection.h"
#include "tests/support/system_errors.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;
using disc_image::ImageBackup;
using disc_image::Region;
using Kind = FolderOutcome::Kind;

namespace {

// A plan over random bytes: regions apart from each other, in no particular order, some of
// whose bytes stay as they were.
struct RandomPatch {
  Bytes original;
  std::vector<Region> regions;

  Bytes Patched() const {
    Bytes bytes = original;
    for (const Region& region : regions) {
      std::copy(region.after.begin(), region.after.end(), bytes.begin() + region.offset);
    }
    return bytes;
  }
};

RandomPatch MakeRandomPatch(std::mt19937& random) {
  RandomPatch patch;
  patch.original.resize(64 + random() % 20000);
  for (std::uint8_t& byte : patch.original) byte = static_cast<std::uint8_t>(random());
  const std::size_t wanted = 1 + random() % 6;
  for (int attempt = 0; attempt < 50 && patch.regions.size() < wanted; ++attempt) {
    const std::size_t length = 1 + random() % 40;
    const std::size_t offset = random() % (patch.original.size() - length + 1);
    const bool overlaps = std::any_of(patch.regions.begin(), patch.regions.end(), [&](auto& r) {
      return offset < r.offset + r.before.size() && r.offset < offset + length;
    });
    if (overlaps) continue;
    const Bytes before(patch.original.begin() + offset, patch.original.begin() + offset + length);
    Region region{offset, before, before};
    for (std::uint8_t& byte : region.after) {
      if (random() % 4 != 0) byte = static_cast<std::uint8_t>(random());
    }
    patch.regions.push_back(std::move(region));
  }
  return patch;
}

// Fails the step numbered `failAt` (from 0) after it ran, and calls `check` at every step.
class Interruption {
 public:
  explicit Interruption(int failAt = -1, std::function<void(platform::IoStep)> check = {}) {
    platform::SetFaultHook([=, this](platform::IoStep step) {
      if (check) check(step);
      return steps++ == failAt ? kHardwareError : 0;
    });
  }
  ~Interruption() { platform::SetFaultHook(nullptr); }

  int steps = 0;
};

class ImageOperationsTest : public ::testing::Test {
 protected:
  fs::path Image() const { return tree / "disc.iso"; }
  fs::path BackupFile() const { return tree / "disc.iso.quorvel"; }

  disc_image::ImagePatch Plan() const {
    return {refusal, "BDMV/index.bdmv", true, {true, 0, 0x40}, false, plannedRegions};
  }

  // The outcome, or none when a failure ended the pass.
  std::optional<FolderOutcome> Modify() {
    const platform::Directory dir = platform::Directory::OpenFolder(Utf8(tree.Root()));
    try {
      return disc_image::ModifyImageWith(dir, "disc.iso", Utf8(Image()),
                                         [this](const platform::File&) { return Plan(); });
    } catch (const FileError&) {
      return std::nullopt;
    }
  }

  std::optional<FolderOutcome> Restore() {
    const platform::Directory dir = platform::Directory::OpenFolder(Utf8(tree.Root()));
    try {
      // What the regions are part of is not these tests' concern: any file will do.
      return disc_image::RestoreImageWith(
          dir, "disc.iso", Utf8(Image()),
          [](const platform::File&, std::span<const Region>) { return true; });
    } catch (const FileError&) {
      return std::nullopt;
    }
  }

  BdmvFolderState Scan() {
    const platform::Directory dir = platform::Directory::OpenFolder(Utf8(tree.Root()));
    return disc_image::ReadImageStateWith(dir, "disc.iso",
                                          [this](const platform::File&) { return Plan(); });
  }

  std::optional<ImageBackup> BackupBeside() {
    if (!fs::exists(BackupFile())) return std::nullopt;
    std::string problem;
    auto backup = disc_image::DecodeImageBackup(ReadBytes(BackupFile()), problem);
    EXPECT_TRUE(backup) << problem;
    return backup;
  }

  // The image and the file beside it as they are, to start from again.
  struct Snapshot {
    Bytes image;
    std::optional<Bytes> backup;
  };
  Snapshot Take() {
    return {ReadBytes(Image()),
            fs::exists(BackupFile()) ? std::optional(ReadBytes(BackupFile())) : std::nullopt};
  }
  void Put(const Snapshot& snapshot) {
    WriteBytes(Image(), snapshot.image);
    fs::remove(BackupFile());
    if (snapshot.backup) WriteBytes(BackupFile(), *snapshot.backup);
  }

  void ExpectPatchedWholly(const RandomPatch& patch) {
    EXPECT_EQ(DescribeDifference(patch.Patched(), ReadBytes(Image())), "");
    const std::optional<ImageBackup> backup = BackupBeside();
    ASSERT_TRUE(backup);
    EXPECT_TRUE(backup->complete);
    const BdmvFolderState state = Scan();
    EXPECT_TRUE(state.patched && !state.unfinished);
    EXPECT_EQ(state.backupFile, "disc.iso.quorvel");
  }

  void ExpectOriginal(const RandomPatch& patch) {
    EXPECT_EQ(DescribeDifference(patch.original, ReadBytes(Image())), "");
    EXPECT_FALSE(fs::exists(BackupFile()));
  }

  // At every step: a changed image has the whole record of its patch beside it. (Just renamed,
  // on Windows the file is still held by its writer, who shares it with no one.)
  std::function<void(platform::IoStep)> BackupKeptFor(const RandomPatch& patch) {
    return [this, &patch](platform::IoStep step) {
      if (step == platform::IoStep::kRename || ReadBytes(Image()) == patch.original) return;
      const std::optional<ImageBackup> backup = BackupBeside();
      ASSERT_TRUE(backup) << "the image changed without its backup file";
      ASSERT_EQ(backup->regions.size(), patch.regions.size());
      for (std::size_t i = 0; i < patch.regions.size(); ++i) {
        EXPECT_EQ(backup->regions[i].offset, patch.regions[i].offset);
        EXPECT_EQ(backup->regions[i].before, patch.regions[i].before);
        EXPECT_EQ(backup->regions[i].after, patch.regions[i].after);
      }
    };
  }

  // From the snapshot, the next Modify finishes the patch and Restore gives back the original.
  void ExpectBothFinishFrom(const Snapshot& crashed, const RandomPatch& patch) {
    Put(crashed);
    const std::optional<FolderOutcome> modified = Modify();
    ASSERT_TRUE(modified);
    EXPECT_TRUE(modified->kind == Kind::kPatched || modified->kind == Kind::kAlreadyPatched)
        << modified->message;
    ExpectPatchedWholly(patch);

    Put(crashed);
    const std::optional<FolderOutcome> restored = Restore();
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->kind, crashed.backup ? Kind::kRestored : Kind::kReported)
        << restored->message;
    ExpectOriginal(patch);
  }

  TempTree tree;
  std::string refusal;
  std::vector<Region> plannedRegions;
};

TEST_F(ImageOperationsTest, EveryInterruptionOfModifyOrRestoreIsFinishedExactly) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 16; ++round) {
    const RandomPatch patch = MakeRandomPatch(random);
    plannedRegions = patch.regions;
    SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(patch.regions.size()) +
                 " regions in " + std::to_string(patch.original.size()) + " bytes");
    const Snapshot original{patch.original, std::nullopt};

    Put(original);
    Interruption countModify;
    ASSERT_EQ(Modify()->kind, Kind::kPatched);
    const int modifySteps = countModify.steps;
    ExpectPatchedWholly(patch);
    const Snapshot patched = Take();
    Interruption countRestore;
    ASSERT_EQ(Restore()->kind, Kind::kRestored);
    const int restoreSteps = countRestore.steps;
    ExpectOriginal(patch);

    for (int failAt = 0; failAt < modifySteps; ++failAt) {
      SCOPED_TRACE("Modify failing at step " + std::to_string(failAt));
      Put(original);
      {
        Interruption interruption(failAt, BackupKeptFor(patch));
        Modify();
      }
      const Snapshot crashed = Take();
      const BdmvFolderState state = Scan();
      if (crashed.image != patch.original && crashed.image != patch.Patched()) {
        EXPECT_TRUE(state.unfinished);
      }
      ExpectBothFinishFrom(crashed, patch);
    }
    for (int failAt = 0; failAt < restoreSteps; ++failAt) {
      SCOPED_TRACE("Restore failing at step " + std::to_string(failAt));
      Put(patched);
      {
        Interruption interruption(failAt, BackupKeptFor(patch));
        Restore();
      }
      ExpectBothFinishFrom(Take(), patch);
    }

    // A write torn anywhere leaves each byte old or new, whatever the record says.
    Snapshot torn = patched;
    for (const Region& region : patch.regions) {
      for (std::size_t i = 0; i < region.before.size(); ++i) {
        if (random() % 2 == 0) torn.image[region.offset + i] = region.before[i];
      }
    }
    if (random() % 2 == 0) {
      torn.backup = disc_image::EncodeImageBackup({patch.original.size(), false, patch.regions});
    }
    ExpectBothFinishFrom(torn, patch);
  }
}

std::string Digit(int value) {
  return {"0123456789abcdef"[value % 16]};
}

// The checksum is the standard CRC-32 (as zlib computes it) of the compact document without it.
TEST(ImageBackupFileTest, TheChecksumIsTheCrc32OfTheCompactDocument) {
  const Bytes encoded = disc_image::EncodeImageBackup({1, false, {{0, {0}, {1}}}});
  EXPECT_NE(std::string(encoded.begin(), encoded.end()).find("\"checksum\": \"51f3c126\""),
            std::string::npos);
}

// What a Modify or Restore refuses leaves the image and the file beside it as they were.
TEST_F(ImageOperationsTest, RefusalsChangeNothing) {
  std::mt19937 random(7);
  const RandomPatch patch = MakeRandomPatch(random);
  plannedRegions = patch.regions;
  const Region& first = patch.regions.front();
  const std::string unusable = image_messages::kModifyBackupUnusable;
  const std::string unusableRestore = image_messages::kRestoreBackupUnusable;
  const std::string differs = image_messages::kModifyImageDiffers;
  const std::string differsRestore = image_messages::kRestoreImageDiffers;

  ImageBackup recorded{patch.original.size(), true, patch.regions};
  const auto encoded = [](ImageBackup backup, auto change) {
    change(backup);
    return disc_image::EncodeImageBackup(backup);
  };
  const auto edited = [&](std::string from, std::string to) {
    const Bytes bytes = disc_image::EncodeImageBackup(recorded);
    std::string text(bytes.begin(), bytes.end());
    text.replace(text.find(from), from.size(), to);
    return Bytes(text.begin(), text.end());
  };
  Bytes foreignByte = patch.Patched();
  std::uint8_t& changed = foreignByte[first.offset];
  for (changed = 0; changed == first.before[0] || changed == first.after[0];) ++changed;
  Bytes longer = patch.Patched();
  longer.push_back(0);

  struct Case {
    std::string name;
    Bytes image;
    Bytes backup;
    std::string modifyMessage, restoreMessage, cause;
  };
  const std::vector<Case> cases = {
      {"not JSON", patch.Patched(), Bytes{'{'}, unusable, unusableRestore, "it is not JSON"},
      {"empty", patch.Patched(), {}, unusable, unusableRestore, "it is not JSON"},
      {"another kind", patch.Patched(), edited("disc image backup", "playlist"), unusable,
       unusableRestore, "it is not a backup file of a disc image"},
      {"another version", patch.Patched(), edited("\"version\": 2", "\"version\": 3"), unusable,
       unusableRestore, "it was written by another version of Quorvel"},
      {"no completion", patch.Patched(), edited("\"complete\"", "\"done\""), unusable,
       unusableRestore, "a field is missing or damaged"},
      // Still JSON, still a backup: only its checksum tells.
      {"a digit changed", patch.Patched(),
       edited("\"before\": \"" + Digit(first.before[0] >> 4),
              "\"before\": \"" + Digit((first.before[0] >> 4) + 1)),
       unusable, unusableRestore, "its checksum does not match its content"},
      {"odd hex", patch.Patched(), edited("\"before\": \"", "\"before\": \"0"), unusable,
       unusableRestore, "a region is missing or damaged"},
      {"region past the end", patch.Patched(),
       encoded(recorded, [&](ImageBackup& b) { b.regions.back().offset = b.imageSize; }), unusable,
       unusableRestore, "a region lies outside the image"},
      {"copies of two lengths", patch.Patched(),
       encoded(recorded, [](ImageBackup& b) { b.regions.back().after.push_back(0); }), unusable,
       unusableRestore, "a region's two copies differ in length"},
      {"overlapping regions", patch.Patched(),
       // The first region of the image twice: the overlap is between the first two in place.
       encoded(recorded,
               [](ImageBackup& b) {
                 b.regions.push_back(*std::min_element(
                     b.regions.begin(), b.regions.end(),
                     [](const Region& x, const Region& y) { return x.offset < y.offset; }));
               }),
       unusable, unusableRestore, "two regions overlap"},
      {"a byte changed by another program", foreignByte, disc_image::EncodeImageBackup(recorded),
       differs, differsRestore, ""},
      {"another size", longer, disc_image::EncodeImageBackup(recorded), differs, differsRestore,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool restore : {false, true}) {
      WriteBytes(Image(), c.image);
      WriteBytes(BackupFile(), c.backup);
      const std::optional<FolderOutcome> outcome = restore ? Restore() : Modify();
      ASSERT_TRUE(outcome);
      EXPECT_EQ(outcome->kind, Kind::kReported);
      EXPECT_EQ(outcome->message, restore ? c.restoreMessage : c.modifyMessage);
      EXPECT_EQ(outcome->cause, c.cause);
      EXPECT_EQ(DescribeDifference(c.image, ReadBytes(Image())), "");
      EXPECT_EQ(DescribeDifference(c.backup, ReadBytes(BackupFile())), "");
    }
  }
}

// Outcomes decided before anything is written, as a folder's are.
TEST_F(ImageOperationsTest, OutcomesWithNothingToWriteAreAFolders) {
  std::mt19937 random(11);
  const RandomPatch patch = MakeRandomPatch(random);
  struct Case {
    std::string name;
    std::string refusal;
    bool planned;
    bool readOnly;
    bool linked;
    bool restore;
    Kind kind;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"refused by its plan", "Modify Fail,index file shares its data", true, false, false, false,
       Kind::kReported, "Modify Fail,index file shares its data"},
      {"already patched", "", false, false, false, false, Kind::kAlreadyPatched, ""},
      {"read-only", "", true, true, false, false, Kind::kReported,
       folder_messages::kModifyReadOnly},
      {"another name", "", true, false, true, false, Kind::kReported,
       image_messages::kModifyHardLinked},
      {"no backup to restore", "", true, false, false, true, Kind::kReported,
       folder_messages::kRestoreNoBackup},
  };
  // What a killed Modify left of the file beside the image (its process number beyond any
  // system's): a Restore with nothing to restore removes it too.
  const fs::path abandoned = tree / ".disc.iso.quorvel.quorvel-2147483643-0";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(Image(), patch.original);
    WriteBytes(abandoned, {1});
    SetReadOnly(Image(), c.readOnly);
    if (c.linked) fs::create_hard_link(Image(), tree / "copy.iso");
    refusal = c.refusal;
    plannedRegions = c.planned ? patch.regions : std::vector<Region>{};
    const std::optional<FolderOutcome> outcome = c.restore ? Restore() : Modify();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->kind, c.kind);
    EXPECT_EQ(outcome->message, c.message);
    if (c.restore) {
      EXPECT_FALSE(fs::exists(abandoned));
    }
    SetReadOnly(Image(), false);
    fs::remove(tree / "copy.iso");
    ExpectOriginal(patch);
  }

  // A read-only image, or one with another name, keeps its patch and the file that would undo it.
  refusal.clear();
  plannedRegions = patch.regions;
  ASSERT_EQ(Modify()->kind, Kind::kPatched);
  SetReadOnly(Image(), true);
  EXPECT_EQ(Restore()->message, folder_messages::kRestoreReadOnly);
  SetReadOnly(Image(), false);
  fs::create_hard_link(Image(), tree / "copy.iso");
  EXPECT_EQ(Restore()->message, image_messages::kRestoreHardLinked);
  fs::remove(tree / "copy.iso");
  ExpectPatchedWholly(patch);
}

}  // namespace
