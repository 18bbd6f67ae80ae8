// libFuzzer target over what reads an untrusted disc image: the planner of its patch, the state a
// scan reads (with the file beside the image) and the decoder of that file. The input is the
// image, optionally followed by kBeside and the file beside it (image_fuzz_input.h). Built by
// scripts/fuzz with clang; a crash, a sanitizer report, an exception that escapes or a plan
// that breaks its own contract stops the run.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>

#include "disc_image/disc_image.h"
#include "disc_image/image_backup_file.h"
#include "disc_image/image_operations.h"
#include "disc_image/image_patch.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "tests/fuzz/image_fuzz_input.h"
#include "tests/support/temp_tree.h"

namespace {

constexpr char kImageName[] = "disc.iso";
constexpr std::time_t kNow = 1'700'000'000;
constexpr std::uint64_t kSector = 2048;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "image_fuzz: %s\n", what.c_str());
  std::abort();
}

void Write(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) Fail("cannot write " + file.string());
}

// A backup the bytes decode to passes its own check and comes back the same through encoding.
// Returns whether they decode.
bool CheckBackup(std::span<const std::uint8_t> bytes) {
  std::string problem;
  const auto backup = disc_image::DecodeImageBackup(bytes, problem);
  if (!backup) {
    if (problem.empty()) Fail("a backup refused without a problem");
    return false;
  }
  if (!disc_image::ProblemIn(*backup).empty()) Fail("a decoded backup has a problem");
  const auto encoded = disc_image::EncodeImageBackup(*backup);
  const auto again = disc_image::DecodeImageBackup(encoded, problem);
  if (!again || disc_image::EncodeImageBackup(*again) != encoded) {
    Fail("a backup changes through encoding: " + problem);
  }
  return true;
}

// A planned patch keeps to what image_patch.h promises: each region inside the image, within one
// sector, its `before` what the image holds there; none overlap, so that the file beside the
// image that keeps them can be read back.
void CheckPlan(const disc_image::ImagePatch& patch, std::span<const std::uint8_t> image) {
  if (!patch.refusal.empty() && !patch.regions.empty()) Fail("a refused plan has regions");
  if (patch.regions.empty()) return;
  for (const disc_image::Region& region : patch.regions) {
    const std::uint64_t at = region.offset, length = region.before.size();
    if (at > image.size() || length > image.size() - at) {
      Fail("a region lies outside the image: offset " + std::to_string(at));
    }
    if (length == 0 || region.after.size() != length) Fail("a region's copies differ in length");
    if (at / kSector != (at + length - 1) / kSector) {
      Fail("a region crosses a sector: offset " + std::to_string(at));
    }
    if (!std::equal(region.before.begin(), region.before.end(), image.begin() + at)) {
      Fail("a region's before is not what the image holds: offset " + std::to_string(at));
    }
  }
  const disc_image::ImageBackup backup{image.size(), false, patch.regions};
  const std::string problem = disc_image::ProblemIn(backup);
  if (!problem.empty()) Fail("the plan's backup would be refused: " + problem);
  if (!CheckBackup(disc_image::EncodeImageBackup(backup)))
    Fail("the plan's backup does not decode");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const testing_support::TempTree tree;
  static const platform::Directory dir = platform::Directory::OpenFolder(tree.Root().string());
  const image_fuzz::Input input = image_fuzz::Split(std::span(data, size));
  Write(tree / kImageName, input.image);
  const std::filesystem::path beside = tree / disc_image::BackupNameFor(kImageName);
  if (input.beside) {
    Write(beside, *input.beside);
    CheckBackup(*input.beside);
  } else {
    std::filesystem::remove(beside);
  }
  CheckBackup(input.image);

  const auto plan = [](const platform::File& image) {
    return disc_image::PlanImagePatch(image, true, kNow);
  };
  disc_image::IsUdfImage(dir, kImageName);
  const platform::File image = platform::File::OpenForReading(dir, kImageName);
  CheckPlan(plan(image), input.image);
  disc_image::ReadImageStateWith(dir, kImageName, plan);
  return 0;
}
