#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "pass/bdmv_folder_walker.h"
#include "platform/fault_injection.h"
#include "platform/thread_start.h"
#include "tests/support/pass_runner.h"
#include "tests/support/recording_front_end.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// What a walk found: targets and unreadable directories, relative to the start, in order.
struct WalkResult {
  std::vector<std::string> targets;
  std::vector<std::string> unreadable;
  int directories = 0;  // opened to be listed
};

// Some directories cannot be listed, chosen by inode so that every walk of the same tree meets
// the same ones; the start folder can always be read.
std::uint64_t g_startInode = 0;
bool Unreadable(std::uint64_t inode) {
  return inode % 23 == 5 && inode != g_startInode;
}

std::uint64_t InodeOf(const fs::path& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_ino;
}

// The walk in its plainest form: recursion, readdir, and the rules written out once more.
void ReferenceWalk(const fs::path& dir, const std::string& shown, WalkResult& result,
                   bool failing = true) {
  ++result.directories;
  struct stat status;
  DIR* listing = opendir(dir.c_str());
  if (!listing || stat(dir.c_str(), &status) != 0 || (failing && Unreadable(status.st_ino))) {
    if (listing) closedir(listing);
    result.unreadable.push_back(shown);
    return;
  }
  std::vector<std::string> subdirectories;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (entry->d_type != DT_DIR || name[0] == '.') continue;
    subdirectories.push_back(name);
  }
  closedir(listing);
  for (const auto& name : subdirectories) {
    if (strcasecmp(name.c_str(), "BDMV") == 0) result.targets.push_back(shown + "/" + name);
  }
  for (const auto& name : subdirectories) {
    ReferenceWalk(dir / name, shown + "/" + name, result, failing);
  }
}

// What a walk did besides finding: the directories it listed, the threads that listed them, and
// the directories it had to find again after giving up their handles.
struct Counts {
  int listings = 0;
  unsigned threads = 0;
  std::size_t foundAgain = 0;
  std::size_t discsReadAhead = 0;  // made ready by other threads than the walk's
};

// Runs the walker with a descriptor limit (0: none) and a number of threads. Listings fail, with
// `failing`, by the rules above.
WalkResult QuorvelWalk(const fs::path& root, rlim_t descriptorLimit, unsigned threads, bool failing,
                       Counts& counts) {
  std::atomic<int> listings{0};
  platform::SetListingFaultHook([&](const platform::FileIdentity& directory) {
    ++listings;
    return failing && Unreadable(directory.index) ? EIO : 0;
  });
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  if (descriptorLimit != 0) {
    rlimit low = saved;
    low.rlim_cur = descriptorLimit;
    setrlimit(RLIMIT_NOFILE, &low);
  }

  RecordingFrontEnd frontEnd;
  WalkResult result;
  const std::string prefix = root.string();
  auto relative = [&](const std::string& path) { return "." + path.substr(prefix.size()); };
  CBdmvFolderWalker walker(prefix, "BDMV");
  walker.Walk(
      [&](const DiscLocation& disc) {
        const std::string& path = disc.Path();
        EXPECT_TRUE(disc.Folder().IsOpen()) << path;
        result.targets.push_back(relative(path));
      },
      &frontEnd, threads);

  setrlimit(RLIMIT_NOFILE, &saved);
  platform::SetListingFaultHook(nullptr);
  counts = {listings, walker.ThreadsUsed(), walker.FoundAgain(), walker.DiscsReadAhead()};
  result.directories = static_cast<int>(walker.DirectoriesVisited());
  for (const auto& [path, cause] : frontEnd.unreadable) {
    result.unreadable.push_back(relative(path));
    EXPECT_EQ(cause, std::strerror(EIO));
  }
  return result;
}

// Where the random trees are made: in memory where the system has a place for it. On a disk
// (ext4) each new folder costs the allocator's search for a place, half a millisecond of CPU,
// and the thousands of folders took ten times as long to make as the walks.
fs::path TreesParent() {
  std::error_code error;
  return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// A random tree: deep chains and wide directories, hidden ones, BDMV in any case, files and
// links named like folders, links to a parent, to the start and to a tree outside. How deep and
// how wide is up to the tree's number too.
void GrowRandomTree(const fs::path& root, const fs::path& outside, std::uint32_t number) {
  fs::create_directories(root);
  std::mt19937 random(number);
  auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  const int belowLastPercent = 40 + static_cast<int>(random() % 56);
  std::vector<fs::path> dirs{root};
  std::vector<int> depths{0};
  const char* const kSpecial[] = {"BDMV", "bdmv", "Bdmv", "bDmV", ".BDMV", ".hidden", "BACKUP"};
  for (int i = 0; i < 2500; ++i) {
    // Mostly below one of the last few made, which makes deep chains.
    std::size_t parent = chance(belowLastPercent)
                             ? dirs.size() - 1 - random() % std::min<std::size_t>(dirs.size(), 8)
                             : random() % dirs.size();
    if (depths[parent] >= 200) parent = random() % dirs.size();
    std::string name =
        chance(25) ? kSpecial[random() % std::size(kSpecial)] : "d" + std::to_string(i);
    const fs::path path = dirs[parent] / name;
    if (fs::exists(fs::symlink_status(path))) continue;
    if (chance(4)) {
      const fs::path targets[] = {dirs[parent], root, outside, dirs[random() % dirs.size()]};
      fs::create_directory_symlink(targets[random() % std::size(targets)], path);
    } else if (chance(3)) {
      WriteBytes(path, {1});
    } else {
      fs::create_directory(path);
      dirs.push_back(path);
      depths.push_back(depths[parent] + 1);
    }
  }
}

TEST(WalkPropertyTest, RandomTreesAreWalkedLikeThePlainRecursiveWalk) {
  std::size_t targets = 0;
  std::size_t unreadable = 0;
  std::map<rlim_t, std::size_t> foundAgain;
  for (std::uint32_t number = 1; number <= 6; ++number) {
    SCOPED_TRACE("tree " + std::to_string(number));
    TempTree tree(TreesParent());
    fs::create_directories(tree / "outside" / "BDMV");
    GrowRandomTree(tree / "start", tree / "outside", number);
    g_startInode = InodeOf(tree / "start");
    WalkResult expected;
    ReferenceWalk(tree / "start", ".", expected);
    targets += expected.targets.size();
    unreadable += expected.unreadable.size();

    for (const rlim_t limit : {rlim_t{16}, rlim_t{24}, rlim_t{64}, rlim_t{0}}) {
      for (const unsigned threads : {1u, 8u}) {
        SCOPED_TRACE("descriptor limit " + std::to_string(limit) + ", " + std::to_string(threads) +
                     " threads");
        Counts counts;
        const WalkResult walked = QuorvelWalk(tree / "start", limit, threads, true, counts);
        EXPECT_EQ(walked.targets, expected.targets);
        EXPECT_EQ(walked.unreadable, expected.unreadable);
        EXPECT_EQ(walked.directories, expected.directories);
        EXPECT_EQ(counts.listings, expected.directories) << "each directory listed once";
        // As many threads as asked for where the descriptors allow.
        EXPECT_GE(counts.threads, 1u);
        EXPECT_LE(counts.threads, threads);
        if (limit == 0 || limit == 64) {
          EXPECT_EQ(counts.threads, threads);
        }
        // Every disc is read ahead by the other threads, or at its turn by the walk alone.
        EXPECT_EQ(counts.discsReadAhead, threads > 1 ? expected.targets.size() : 0u);
        foundAgain[limit] += counts.foundAgain;
      }
    }
  }
  EXPECT_GT(targets, 100u);
  EXPECT_GT(unreadable, 10u);
  // Few descriptors give up handles that deep trees need again; many give up none.
  EXPECT_GT(foundAgain[16], 0u);
  EXPECT_EQ(foundAgain[0], 0u);
}

// Where the system starts no more threads (a limit on processes), the walk goes on with those
// that did start, or alone, finds what it always finds, and the pass ends with its summary.
TEST(WalkPropertyTest, AWalkGoesOnWhereItsReadingThreadsCannotStart) {
  TempTree tree(TreesParent());
  fs::create_directories(tree / "outside");
  GrowRandomTree(tree / "start", tree / "outside", 1);
  WalkResult expected;
  ReferenceWalk(tree / "start", ".", expected, false);

  for (const int started : {0, 2}) {
    SCOPED_TRACE(std::to_string(started) + " threads start");
    int attempts = 0;
    platform::SetThreadStartFaultHook([&] { return attempts++ < started ? 0 : EAGAIN; });
    Counts counts;
    const WalkResult walked = QuorvelWalk(tree / "start", 0, 8, false, counts);
    platform::SetThreadStartFaultHook(nullptr);
    EXPECT_EQ(walked.targets, expected.targets);
    EXPECT_EQ(walked.unreadable, expected.unreadable);
    // The search starts its threads, then the discs' reader its own, each until one fails.
    EXPECT_EQ(attempts, started + 2) << "a start that failed is not tried again";
    EXPECT_EQ(counts.threads, static_cast<unsigned>(started) + 1);
  }

  int attempts = 0;
  platform::SetThreadStartFaultHook([&] { return ++attempts, EAGAIN; });
  const auto shown = ModifyTree(tree / "start");
  platform::SetThreadStartFaultHook(nullptr);
  EXPECT_EQ(attempts, 2) << "one start for the search's looking threads and one for its listing "
                            "ones: the discs, told from what it read of them, need no reader";
  ASSERT_FALSE(shown.messages.empty());
  EXPECT_EQ(shown.messages.back().text, "Modify 0 file successful");
}

// Removes every directory of a chain from the bottom up, through "..": removing it by path would
// take time and descriptors in proportion to its depth at every level.
void RemoveChain(const fs::path& root) {
  int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
  for (int child; (child = openat(fd, "level", O_RDONLY | O_DIRECTORY)) >= 0; fd = child) close(fd);
  for (;;) {
    unlinkat(fd, "BDMV", AT_REMOVEDIR);
    const int side = openat(fd, "side", O_RDONLY | O_DIRECTORY);
    if (side >= 0) {
      unlinkat(side, "BDMV", AT_REMOVEDIR);
      close(side);
      unlinkat(fd, "side", AT_REMOVEDIR);
    }
    struct stat here, top;
    fstat(fd, &here);
    stat(root.c_str(), &top);
    if (here.st_ino == top.st_ino) break;
    const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = parent;
    unlinkat(fd, "level", AT_REMOVEDIR);
  }
  close(fd);
}

// A chain deeper than any path the system takes and than any number of descriptors, with side
// branches: at level L, "side/BDMV" every 97 levels and "BDMV" every 1000.
TEST(WalkPropertyTest, ATenThousandLevelChainWithSideBranches) {
  constexpr int kDepth = 10000;
  TempTree tree;
  // One listing order per level, read as the chain is made, names the expected walk.
  std::vector<std::vector<std::string>> orders;
  int directories = 0;
  int fd = open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int level = 0; level <= kDepth; ++level) {
    const bool bdmv = level % 1000 == 999 || level == kDepth;
    if (level < kDepth) {
      ASSERT_EQ(mkdirat(fd, "level", 0755), 0);
    }
    if (level % 97 == 1) {
      ASSERT_EQ(mkdirat(fd, "side", 0755), 0);
      const int side = openat(fd, "side", O_RDONLY | O_DIRECTORY);
      ASSERT_EQ(mkdirat(side, "BDMV", 0755), 0);
      close(side);
    }
    if (bdmv) {
      ASSERT_EQ(mkdirat(fd, "BDMV", 0755), 0);
    }
    directories += 1 + (level % 97 == 1 ? 2 : 0) + (bdmv ? 1 : 0);
    DIR* listing = fdopendir(dup(fd));
    orders.emplace_back();
    while (const dirent* entry = readdir(listing)) {
      if (entry->d_name[0] != '.') orders.back().push_back(entry->d_name);
    }
    closedir(listing);
    if (level < kDepth) {
      const int child = openat(fd, "level", O_RDONLY | O_DIRECTORY);
      close(fd);
      fd = child;
    }
  }
  close(fd);
  // Built from the bottom: a level's targets, then each subdirectory's walk in listing order.
  std::vector<std::string> expected;
  for (int level = kDepth; level >= 0; --level) {
    std::vector<std::string> walk;
    const auto& order = orders[level];
    if (std::find(order.begin(), order.end(), "BDMV") != order.end())
      walk.push_back(std::to_string(level) + ":BDMV");
    for (const auto& name : order) {
      if (name == "side") walk.push_back(std::to_string(level) + ":side/BDMV");
      if (name == "level") walk.insert(walk.end(), expected.begin(), expected.end());
    }
    expected = std::move(walk);
  }

  // At 16 descriptors one thread lists them; at 64, eight.
  for (const auto& [limit, threads] : {std::pair{rlim_t{16}, 1u}, std::pair{rlim_t{64}, 8u}}) {
    SCOPED_TRACE("descriptor limit " + std::to_string(limit));
    Counts counts;
    const WalkResult walked = QuorvelWalk(tree.Root(), limit, threads, false, counts);
    std::vector<std::string> found;
    for (const auto& path : walked.targets) {
      std::size_t level = 0;
      for (std::size_t at = path.find("/level"); at != std::string::npos;
           at = path.find("/level", at + 1))
        ++level;
      const bool side = path.ends_with("/side/BDMV");
      found.push_back(std::to_string(level) + (side ? ":side/BDMV" : ":BDMV"));
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(walked.unreadable, std::vector<std::string>{});
    EXPECT_EQ(counts.listings, directories) << "each directory listed once";
    EXPECT_EQ(counts.threads, threads);
  }
  RemoveChain(tree.Root());
}

}  // namespace
