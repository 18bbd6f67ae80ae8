// libFuzzer target over what reads an untrusted disc image: the planner of its patch, the scan's
// state reader and the decoder of the file beside it. An input starting with '{' (JSON) is that
// file, beside DiscImage(); any other is the image. Built with QUORVEL_FUZZ_FIRST_INPUTS: the
// inputs it starts from.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "disc_image/disc_image.h"
#include "disc_image/image_backup_file.h"
#include "disc_image/image_operations.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"

namespace {

using namespace disc_image;
using namespace testimage;
using namespace testing_support;

void Check(bool holds, const std::string& what) {
  if (holds) return;
  std::fprintf(stderr, "image_fuzz: %s\n", what.c_str());
  std::abort();
}

// Whether the bytes decode; a backup that does comes back the same through encoding.
bool Decodes(const Bytes& bytes) {
  std::string problem;
  const auto backup = DecodeImageBackup(bytes, problem);
  Check(backup || !problem.empty(), "a backup refused without a problem");
  if (!backup) return false;
  const Bytes encoded = EncodeImageBackup(*backup);
  const auto again = DecodeImageBackup(encoded, problem);
  Check(again && EncodeImageBackup(*again) == encoded, "a backup changes: " + problem);
  return true;
}

// Regions within the image and one sector each, `before` as the image holds it, kept decodably.
void CheckPlan(const ImagePatch& patch, const Bytes& image) {
  for (const Region& region : patch.regions) {
    const std::uint64_t at = region.offset, length = region.before.size();
    Check(at <= image.size() && length <= image.size() - at, "a region outside the image");
    Check(at % 2048 + length <= 2048, "a region across sectors at " + std::to_string(at));
    Check(Bytes(image.begin() + at, image.begin() + at + length) == region.before,
          "a region's before unlike the image at " + std::to_string(at));
  }
  Check(patch.regions.empty() || Decodes(EncodeImageBackup({image.size(), false, patch.regions})),
        "the plan's backup is refused");
}

// By default UDF 2.50 with a metadata partition and an ISO 9660 bridge.
Bytes DiscImage(const ImageOptions& options = {.bridge = true}) {
  return BuildImage(DiscFiles(testdisc::k3DFlags), options);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TempTree tree;
  static const platform::Directory dir = platform::Directory::OpenFolder(tree.Root().string());
  static const Bytes discImage = DiscImage();
  const Bytes input(data, data + size);
  const bool backup = size > 0 && data[0] == '{';
  WriteBytes(tree / "disc.iso", backup ? discImage : input);
  std::filesystem::remove(tree / "disc.iso.quorvel");
  if (backup) WriteBytes(tree / "disc.iso.quorvel", input);
  Decodes(input);
  const auto plan = [](const platform::File& f) { return PlanImagePatch(f, true, 1'700'000'000); };
  IsUdfImage(dir, "disc.iso");
  if (!backup) CheckPlan(plan(platform::File::OpenForReading(dir, "disc.iso")), input);
  ReadImageStateWith(dir, "disc.iso", plan);
  return 0;
}

#ifdef QUORVEL_FUZZ_FIRST_INPUTS
// Into the folder named: a UDF 1.02 image, DiscImage() as it is, and patched beside its backup.
int main(int, char** argv) {
  const std::filesystem::path firstInputs = argv[1];
  WriteBytes(firstInputs / "udf102.iso", DiscImage({Revision::k102, false, Allocation::kShort}));
  WriteBytes(firstInputs / "udf250.iso", DiscImage());
  WriteBytes(firstInputs / "patched.iso", DiscImage());
  std::filesystem::remove(firstInputs / "patched.iso.quorvel");  // a Modify would finish from it
  const platform::Directory dir = platform::Directory::OpenFolder(firstInputs.string());
  const FolderOutcome outcome = ModifyDiscImage(dir, "patched.iso", "patched.iso", true);
  return outcome.kind == FolderOutcome::Kind::kPatched ? 0 : 1;
}
#endif
