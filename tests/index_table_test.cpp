#include "bdmv/index_table.h"

#include <gtest/gtest.h>

#include "tests/support/temp_tree.h"

using testing_support::Bytes;
using testing_support::IndexBytes;

namespace {

TEST(IndexTableTest, ReadsTheHeaderOnlyOfIndexTables) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool isIndex;
    std::uint32_t address;
    std::uint8_t flags;
  };
  Bytes wrongType = IndexBytes(64, 0x60);
  wrongType[3] = 'Y';
  const std::vector<Case> cases = {
      {"unpatched", IndexBytes(64, 0x60), true, 0, 0x60},
      {"patched", IndexBytes(64, 0x20, 0x01020304), true, 0x01020304, 0x20},
      {"address in its last byte", IndexBytes(45, 0, 0x00000001), true, 1, 0},
      {"44 bytes", IndexBytes(44, 0), false, 0, 0},
      {"empty", {}, false, 0, 0},
      {"other type", wrongType, false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const index_table::Header header = index_table::ReadHeader(c.bytes);
    EXPECT_EQ(header.isIndexTable, c.isIndex);
    EXPECT_EQ(header.extensionDataAddress, c.address);
    EXPECT_EQ(header.IsPatched(), c.address != 0);
    EXPECT_EQ(header.flags, c.flags);
  }
}

TEST(IndexTableTest, PatchWritesTheLengthBigEndianAndAppendsTheBlock) {
  const auto patches = index_table::PatchFor(0x00012345, false);
  ASSERT_EQ(patches.size(), 2u);
  EXPECT_EQ(patches[0].offset, 12u);
  EXPECT_EQ(patches[0].bytes, (std::vector<std::uint8_t>{0x00, 0x01, 0x23, 0x45}));
  EXPECT_EQ(patches[1].offset, 0x00012345u);
  EXPECT_EQ(patches[1].bytes,
            (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x18,
                                       0x00, 0x00, 0x00, 0x01, 0x10, 0x00, 0x01, 0x00,
                                       0x00, 0x00, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00}));

  const auto converting = index_table::PatchFor(45, true);
  ASSERT_EQ(converting.size(), 3u);
  EXPECT_EQ(converting[2].offset, 44u);
  EXPECT_EQ(converting[2].bytes, std::vector<std::uint8_t>{0x00});
}

TEST(IndexTableTest, NoPatchForFilesBeyondTheReachOfTheAddress) {
  EXPECT_EQ(index_table::PatchFor(0xFFFFFFFFull - 24, false).size(), 2u);
  EXPECT_TRUE(index_table::PatchFor(0xFFFFFFFFull - 23, false).empty());
}

}  // namespace
