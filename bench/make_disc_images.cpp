// Writes the discs bench/image_pass.py passes over: COUNT disc images of SIZE GiB, sparse, in
// DIR/images, and COUNT BDMV folders of the same disc in DIR/folders.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "tests/support/bd_disc.h"
#include "tests/support/udf_image.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_disc_images DIR COUNT SIZE_GIB\n");
    return 64;
  }
  const std::filesystem::path dir = argv[1];
  const int count = std::stoi(argv[2]);
  testimage::ImageOptions options;
  options.sizeInSectors = (std::stoull(argv[3]) << 30) / testimage::kSectorSize;
  try {
    std::filesystem::create_directories(dir / "images");
    const auto files = testimage::DiscFiles(testdisc::k3DFlags);
    for (int i = 1; i <= count; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "Disc %03d", i);
      testimage::WriteImage(dir / "images" / (std::string(name) + ".iso"), files, options);
      testdisc::WriteFiles(dir / "folders" / name, files);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_disc_images: %s\n", e.what());
    return 1;
  }
  return 0;
}
