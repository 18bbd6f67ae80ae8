// Writes the fuzz target's first inputs into the folder named: images from the tests' own writer
// (tests/support/udf_image.h), and one of them patched, with the file its Modify left beside it.
#include <cstdio>
#include <filesystem>
#include <string>

#include "disc_image/disc_image.h"
#include "platform/directory.h"
#include "tests/fuzz/image_fuzz_input.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"

namespace fs = std::filesystem;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SEED_FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path seeds = argv[1];
  const auto files = testimage::DiscFiles(testdisc::k3DFlags);
  testimage::ImageOptions udf250;  // EFE, long allocation
  udf250.bridge = true;
  testimage::ImageOptions udf102;
  udf102.revision = testimage::Revision::k102;
  udf102.extendedEntries = false;
  udf102.allocation = testimage::Allocation::kShort;
  WriteBytes(seeds / "udf250-bridge.iso", testimage::BuildImage(files, udf250));
  WriteBytes(seeds / "udf102-short.iso", testimage::BuildImage(files, udf102));

  const testing_support::TempTree tree;
  testimage::WriteImage(tree / "disc.iso", files, udf250);
  const auto original = ReadBytes(tree / "disc.iso");
  const FolderOutcome outcome =
      disc_image::ModifyDiscImage(platform::Directory::OpenFolder(tree.Root().string()), "disc.iso",
                                  (tree / "disc.iso").string(), true);
  if (outcome.kind != FolderOutcome::Kind::kPatched) {
    std::fprintf(stderr, "the seed image was not patched: %s\n", outcome.message.c_str());
    return 1;
  }
  const auto beside = ReadBytes(tree / "disc.iso.quorvel");
  WriteBytes(seeds / "udf250-patched-with-backup",
             image_fuzz::Join(ReadBytes(tree / "disc.iso"), beside));
  WriteBytes(seeds / "udf250-original-with-backup", image_fuzz::Join(original, beside));
  WriteBytes(seeds / "backup.quorvel", beside);
  return 0;
}
