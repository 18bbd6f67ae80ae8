#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "bdmv/index_table.h"
#include "platform/file.h"

namespace disc_image {

// Bytes of the image a patch replaces: `before` as the image holds them, `after` as the patch
// writes them. A region never crosses a 2048-byte sector, so that it is written in one piece.
struct Region {
  std::uint64_t offset = 0;
  std::vector<std::uint8_t> before;
  std::vector<std::uint8_t> after;
};

// The patch of one image, planned from its UDF volume (and ISO 9660 records) without writing.
struct ImagePatch {
  // The message that refuses the image ("" when it can be patched): no UDF volume, no index
  // file, no room in its last block, data shared with another file, and the like.
  std::string refusal;
  std::string indexPath;   // the index file inside the image as spelled there: "BDMV/index.bdmv"
  bool indexRead = false;  // its first bytes could be read; else the image is damaged there
  index_table::Header header;  // what the index file's first bytes say
  // Its address points past its end, or its end holds the block without an address: a patch cut
  // short, which nothing in the image tells how to finish (refused as such).
  bool halfPatched = false;
  // In the order they are to be written, so that an interruption after any one of them leaves an
  // image that readers read as the original or as the whole patch. Empty when refused or when
  // the index file is already patched.
  std::vector<Region> regions;
};

// Reads the image's volume down to its BDMV folder and plans the patch that gives the index file
// its extension-data block (clearing its 3D flags with convert3DTo2D) and sets the movie-object
// file's modification time to `now`, in the local time zone; the image read as if the regions
// of `putBack` held their `before` bytes. Throws FileError when a read fails, ReadStopped when a
// stop signal came.
ImagePatch PlanImagePatch(const platform::File& image, bool convert3DTo2D, std::time_t now,
                          std::span<const Region> putBack = {});

}  // namespace disc_image
