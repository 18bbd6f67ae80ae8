#include "disc_image/image_regions.h"

namespace disc_image {

RegionsState CompareRegions(const platform::File& image, const ImageBackup& backup) {
  if (image.Size() != backup.imageSize) return {};
  RegionsState state{true, true, true};
  std::vector<std::uint8_t> bytes;
  for (const Region& region : backup.regions) {
    bytes.resize(region.before.size());
    if (image.ReadAt(region.offset, bytes) != bytes.size()) return {};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const bool wasBefore = bytes[i] == region.before[i];
      const bool wasAfter = bytes[i] == region.after[i];
      if (!wasBefore && !wasAfter) return {};
      state.original = state.original && wasBefore;
      state.patched = state.patched && wasAfter;
    }
  }
  return state;
}

void WritePatchedRegions(platform::File& image, const std::vector<Region>& regions,
                         const std::string& displayName) {
  for (const Region& region : regions) {
    image.WriteAt(region.offset, region.after, displayName);
    image.Flush();
  }
}

void WriteOriginalRegions(platform::File& image, const std::vector<Region>& regions,
                          const std::string& displayName) {
  for (auto region = regions.rbegin(); region != regions.rend(); ++region) {
    image.WriteAt(region->offset, region->before, displayName);
    image.Flush();
  }
}

}  // namespace disc_image
