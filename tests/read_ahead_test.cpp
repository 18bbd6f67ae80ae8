#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "pass/bdmv_folder_walker.h"
#include "platform/fault_injection.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

struct Counts {
  std::size_t directories = 0;
  std::uint64_t listedAhead = 0;
  std::uint64_t foundListedAhead = 0;
  std::size_t targets = 0;
};

// The first listing of a directory waits `read` for the disk; later ones wait for that too.
Counts WalkOn(const fs::path& root, std::chrono::microseconds read) {
  using Clock = std::chrono::steady_clock;
  std::mutex mutex;
  std::map<std::uint64_t, Clock::time_point> cached;  // when each directory's read ends
  platform::SetListingFaultHook([&](const platform::FileIdentity& directory) {
    Clock::time_point ready;
    {
      std::lock_guard lock(mutex);
      ready = cached.try_emplace(directory.index, Clock::now() + read).first->second;
    }
    std::this_thread::sleep_until(ready);
    return 0;
  });
  CBdmvFolderWalker walker(root.string(), "BDMV");
  Counts counts;
  walker.Walk([&](const DiscLocation&) { ++counts.targets; }, nullptr, 8);
  platform::SetListingFaultHook(nullptr);
  counts.directories = walker.DirectoriesVisited();
  counts.listedAhead = walker.ListedAhead();
  counts.foundListedAhead = walker.FoundListedAhead();
  return counts;
}

// 40 shares of 40 folders, each with a BDMV: 3,241 directories.
fs::path MakeTree(const TempTree& tree) {
  for (int share = 0; share < 40; ++share) {
    for (int folder = 0; folder < 40; ++folder) {
      fs::create_directories(tree / ("s" + std::to_string(share)) / ("f" + std::to_string(folder)) /
                             "BDMV");
    }
  }
  return tree.Root();
}

// Counted, not timed: what the walk found listed ahead is what reading ahead saved it. On a slow
// file system reading ahead starts and serves most of the walk; where listings are instant it
// never starts or stops at once. The walk finds every target in each case.
TEST(ReadAheadTest, ReadsAheadOnlyWhereTheWalkFindsItsDirectoriesListedAlready) {
  const TempTree tree(fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
  const fs::path root = MakeTree(tree);
  constexpr std::size_t kDirectories = 1 + 40 + 40 * 40 * 2;

  const Counts cold = WalkOn(root, std::chrono::microseconds(300));
  EXPECT_EQ(cold.directories, kDirectories);
  EXPECT_EQ(cold.targets, 1600u);
  EXPECT_GE(cold.listedAhead, cold.foundListedAhead);
  EXPECT_GT(cold.foundListedAhead, kDirectories / 2) << cold.listedAhead << " listed ahead";

  const Counts instant = WalkOn(root, std::chrono::microseconds(0));
  EXPECT_EQ(instant.targets, 1600u);
  EXPECT_LT(instant.listedAhead, kDirectories / 10);
}

}  // namespace
