#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "pass/bdmv_folder_walker.h"
#include "pass/directory_prefetcher.h"
#include "platform/descriptors.h"
#include "platform/fault_injection.h"
#include "tests/support/recording_front_end.h"
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

// A walk that spends 40 us on each directory besides listing it, as a pass does: the threads can
// keep ahead of it, so that what it finds listed ahead depends on what they were given to list,
// not on which of them the machine runs first.
class SteadyWalk : public RecordingFrontEnd {
 public:
  void DirectoryVisited(const std::string& path) override {
    std::this_thread::sleep_for(std::chrono::microseconds(40));
    RecordingFrontEnd::DirectoryVisited(path);
  }
};

// The first listing of a directory waits `read` for the disk; later ones wait for that too. Where
// `threadsFail`, every listing but the walk's waits as long and fails: reading ahead gains
// nothing. A walk of a slow disk spends time on each directory besides, one of an instant disk
// none.
Counts WalkOn(const fs::path& root, std::chrono::microseconds read, bool threadsFail = false) {
  using Clock = std::chrono::steady_clock;
  std::mutex mutex;
  std::map<std::uint64_t, Clock::time_point> cached;  // when each directory's read ends
  const std::thread::id walk = std::this_thread::get_id();
  platform::SetListingFaultHook([&](const platform::FileIdentity& directory) {
    if (threadsFail && std::this_thread::get_id() != walk) {
      std::this_thread::sleep_for(read);
      return EIO;
    }
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
  SteadyWalk steady;
  RecordingFrontEnd quick;
  PassFrontEnd* frontEnd = read.count() > 0 ? &steady : &quick;
  walker.Walk([&](const DiscLocation&) { ++counts.targets; }, frontEnd, 8);
  platform::SetListingFaultHook(nullptr);
  counts.directories = walker.DirectoriesVisited();
  counts.listedAhead = walker.ListedAhead();
  counts.foundListedAhead = walker.FoundListedAhead();
  return counts;
}

// Three levels of 12 folders, each folder of the last with a BDMV: 3,613 directories.
std::size_t MakeLevels(const fs::path& root) {
  for (int a = 0; a < 12; ++a) {
    for (int b = 0; b < 12; ++b) {
      for (int c = 0; c < 12; ++c) {
        fs::create_directories(root / std::to_string(a) / std::to_string(b) / std::to_string(c) /
                               "BDMV");
      }
    }
  }
  return 1 + 12 + 144 + 1728 * 2;
}

// One folder of 9,000 movies, each with a BDMV: wider than the read-ahead queue holds.
std::size_t MakeWideFolder(const fs::path& root) {
  for (int movie = 0; movie < 9000; ++movie) {
    fs::create_directories(root / "movies" / ("m" + std::to_string(movie)) / "BDMV");
  }
  return 2 + 9000 * 2;
}

// Counted, not timed: what the walk found listed ahead is what reading ahead saved it. On a slow
// file system reading ahead starts and serves most of the walk, below the folders the walk had to
// list itself and in the widest folder too; where listings are instant it never starts or stops
// at once. The walk finds every target in each case.
TEST(ReadAheadTest, ReadsAheadOnlyWhereTheWalkFindsItsDirectoriesListedAlready) {
  for (const auto make : {MakeLevels, MakeWideFolder}) {
    const TempTree tree(fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
    const std::size_t directories = make(tree.Root());
    const std::size_t targets = make == MakeLevels ? 1728 : 9000;
    SCOPED_TRACE(std::to_string(directories) + " directories");

    const Counts slow = WalkOn(tree.Root(), std::chrono::microseconds(200));
    EXPECT_EQ(slow.directories, directories);
    EXPECT_EQ(slow.targets, targets);
    EXPECT_GE(slow.listedAhead, slow.foundListedAhead);
    EXPECT_GT(slow.foundListedAhead, directories * 3 / 4) << slow.listedAhead << " listed ahead";

    const Counts instant = WalkOn(tree.Root(), std::chrono::microseconds(0));
    EXPECT_EQ(instant.targets, targets);
    EXPECT_LT(instant.listedAhead, directories / 10);
  }
}

// A slow disk that the threads cannot list gains nothing from them: reading ahead is tried, now
// and then, and stops each time. The walk is whole, and nothing is reported.
TEST(ReadAheadTest, ASlowDiskThatGainsNothingFromTheThreadsIsOnlyTried) {
  const TempTree tree(fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
  const std::size_t directories = MakeLevels(tree.Root());
  const Counts tried = WalkOn(tree.Root(), std::chrono::microseconds(200), true);
  EXPECT_EQ(tried.directories, directories);
  EXPECT_EQ(tried.targets, 1728u);
  EXPECT_EQ(tried.foundListedAhead, 0u);
  EXPECT_GT(tried.listedAhead, 0u);
  EXPECT_LT(tried.listedAhead, directories / 4);
}

// Folders the threads cannot list are the walk's to list: they are neither reported nor lost, and
// what lies below them is still read ahead.
TEST(ReadAheadTest, AFolderTheThreadsCannotListIsListedByTheWalkAndNothingIsLost) {
  const TempTree tree(fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
  // x is made first: where the newest comes first in a listing, as on tmpfs, the walk reaches it
  // with reading ahead under way. x and each folder in it are the walk's to list and what lies
  // below them the walk's to hand to the threads, whenever reading ahead started.
  for (int i = 0; i < 40; ++i) {
    for (int j = 0; j < 30; ++j) {
      fs::create_directories(tree / "x" / std::to_string(i) / std::to_string(j) / "BDMV");
    }
  }
  for (int i = 0; i < 150; ++i) fs::create_directories(tree / "a" / std::to_string(i) / "BDMV");
  constexpr std::size_t kDirectories = 1 + 1 + 150 * 2 + 1 + 40 + 40 * 30 * 2;
  std::set<std::uint64_t> unlistable;  // by inode
  for (int i = -1; i < 40; ++i) {
    struct stat status {};
    const fs::path folder = i < 0 ? tree / "x" : tree / "x" / std::to_string(i);
    ASSERT_EQ(stat(folder.c_str(), &status), 0);
    unlistable.insert(status.st_ino);
  }
  const std::thread::id walk = std::this_thread::get_id();
  using Clock = std::chrono::steady_clock;
  std::mutex mutex;
  std::map<std::uint64_t, Clock::time_point> cached;
  platform::SetListingFaultHook([&](const platform::FileIdentity& directory) {
    if (unlistable.count(directory.index) != 0 && std::this_thread::get_id() != walk) return EIO;
    Clock::time_point ready;
    {
      std::lock_guard lock(mutex);
      ready = cached.try_emplace(directory.index, Clock::now() + std::chrono::microseconds(200))
                  .first->second;
    }
    std::this_thread::sleep_until(ready);
    return 0;
  });
  CBdmvFolderWalker walker(tree.Root().string(), "BDMV");
  SteadyWalk frontEnd;
  std::size_t targets = 0;
  walker.Walk([&](const DiscLocation&) { ++targets; }, &frontEnd, 8);
  platform::SetListingFaultHook(nullptr);
  EXPECT_EQ(targets, 150u + 1200u);
  EXPECT_EQ(frontEnd.unreadable.size(), 0u);
  EXPECT_EQ(walker.DirectoriesVisited(), kDirectories);
  EXPECT_GT(walker.FoundListedAhead(), kDirectories * 3 / 4)
      << walker.ListedAhead() << " listed ahead";
}

// Directories replaced while the walk goes on: a thread that lists a movie folder ahead renames
// it away and puts another in its place. However the walk and the threads meet, each movie yields
// the BDMV of the folder it listed, and nothing is reported: a listing made ahead never serves the
// directory that replaced it. Once with the listed folders kept open for the walk, once without a
// descriptor to keep them.
TEST(ReadAheadTest, AFolderReplacedAfterItWasListedAheadIsWalkedAsTheWalkFindsIt) {
  constexpr int kMovies = 150;
  for (const bool keptOpen : {true, false}) {
    SCOPED_TRACE(keptOpen ? "listed folders kept open" : "no descriptor to keep them");
    const TempTree tree(fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
    std::map<std::uint64_t, int> movies;  // by inode
    for (int i = 0; i < kMovies; ++i) {
      const fs::path movie = tree / ("m" + std::to_string(i));
      fs::create_directories(movie / "old" / "BDMV");
      struct stat status {};
      ASSERT_EQ(stat(movie.c_str(), &status), 0);
      movies[status.st_ino] = i;
    }
    const std::thread::id walk = std::this_thread::get_id();
    using Clock = std::chrono::steady_clock;
    std::mutex mutex;
    std::map<std::uint64_t, Clock::time_point> cached;
    int replaced = 0;
    platform::SetListingFaultHook([&](const platform::FileIdentity& directory) {
      Clock::time_point ready;
      {
        std::lock_guard lock(mutex);
        const auto movie = movies.find(directory.index);
        if (movie != movies.end() && std::this_thread::get_id() != walk) {
          const fs::path path = tree / ("m" + std::to_string(movie->second));
          fs::rename(path, tree / (".gone" + std::to_string(movie->second)));
          fs::create_directories(path / "new" / "BDMV");
          movies.erase(movie);
          ++replaced;
        }
        ready = cached.try_emplace(directory.index, Clock::now() + std::chrono::microseconds(200))
                    .first->second;
      }
      std::this_thread::sleep_until(ready);
      return 0;
    });
    // Descriptors for 4 threads to list with and none to keep a listed folder open.
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    if (!keptOpen) {
      ASSERT_NE(saved.rlim_cur, RLIM_INFINITY);
      rlimit low = saved;
      low.rlim_cur = saved.rlim_cur - platform::FreeDescriptors() + 21;
      setrlimit(RLIMIT_NOFILE, &low);
    }
    CBdmvFolderWalker walker(tree.Root().string(), "BDMV");
    SteadyWalk frontEnd;
    std::map<int, std::vector<std::string>> found;
    walker.Walk(
        [&](const DiscLocation& disc) {
          const fs::path path = fs::path(disc.Path()).lexically_relative(tree.Root());
          found[std::stoi(path.begin()->string().substr(1))].push_back(
              std::next(path.begin())->string());
          EXPECT_TRUE(disc.Folder().IsOpen()) << disc.Path();
        },
        &frontEnd, 4);
    setrlimit(RLIMIT_NOFILE, &saved);
    platform::SetListingFaultHook(nullptr);

    EXPECT_EQ(frontEnd.unreadable.size(), 0u)
        << frontEnd.unreadable.front().first << ": " << frontEnd.unreadable.front().second;
    ASSERT_EQ(found.size(), static_cast<std::size_t>(kMovies));
    for (const auto& [movie, folders] : found) {
      ASSERT_EQ(folders.size(), 1u) << movie;
      EXPECT_TRUE(folders[0] == "old" || folders[0] == "new") << movie << ": " << folders[0];
    }
    // Reading ahead served the walk: many folders were replaced after a thread listed them.
    EXPECT_GT(replaced, kMovies / 5);
  }
}

// A full window stops the threads from going farther ahead, not from listing what the walk visits
// before what they listed: below a slow folder the walk would wait for each level in turn. Twice
// the window stops even that.
TEST(ReadAheadTest, AFullWindowStillListsWhatTheWalkVisitsBeforeWhatIsListed) {
  constexpr std::size_t kWindow = 4;
  const TempTree tree(fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
  std::set<std::uint64_t> slow;  // by inode: folder 0 and the chain below it
  fs::path chain = tree / "0";
  for (const char* name : {"a", "b", "c", "d", "e", ""}) {
    fs::create_directories(chain);
    struct stat status {};
    ASSERT_EQ(stat(chain.c_str(), &status), 0);
    slow.insert(status.st_ino);
    chain /= name;
  }
  for (int i = 1; i < 10; ++i) fs::create_directories(tree / std::to_string(i));
  platform::SetListingFaultHook([&](const platform::FileIdentity& directory) {
    if (slow.count(directory.index) != 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
  });
  const platform::Directory start = platform::Directory::OpenFolder(tree.Root().string());
  DirectoryPrefetcher prefetcher(start.OpenSubdirectory("."), 2, 16, true);
  std::vector<DirectoryPrefetcher::Pending> pending;
  for (std::uint32_t i = 0; i < 10; ++i) {
    pending.emplace_back(DirectoryPrefetcher::Key{i}, std::to_string(i));
  }
  ASSERT_TRUE(prefetcher.Engage({}, std::move(pending), kWindow));

  // Folders 1 to 3 fill the window while 0 is listed; then 0's chain is listed to twice the window.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (prefetcher.Listings() < 2 * kWindow && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(prefetcher.Listings(), 2 * kWindow);
  DirectoryPrefetcher::Key key{0};
  std::optional<DirectoryPrefetcher::Listing> listing;
  for (; key.size() <= kWindow; key.push_back(0)) {
    EXPECT_TRUE(prefetcher.Reach(key, listing)) << key.size();
    EXPECT_TRUE(listing) << key.size();
  }
  prefetcher.Stop();
  platform::SetListingFaultHook(nullptr);
}

// The walk over a folder wider than the queue: each directory it reaches was listed ahead, with
// what it holds and under its own identity, once the walk has handed back what the full queue
// left out.
TEST(ReadAheadTest, AFolderWiderThanTheQueueIsListedAheadToItsEnd) {
  constexpr std::uint32_t kWide = DirectoryPrefetcher::kMaxQueued + 1500;
  const TempTree tree(fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path());
  // Four names a folder: more in all than the listings kept at once may hold.
  constexpr std::size_t kNames = 4;
  static_assert(kWide * kNames > DirectoryPrefetcher::kMaxKeptNames);
  for (std::uint32_t i = 0; i < kWide; ++i) {
    for (const char* name : {"BDMV", "CLIPINF", "PLAYLIST", "STREAM"}) {
      fs::create_directories(tree / std::to_string(i) / name);
    }
  }
  // Listings slow enough to be worth reading ahead: the threads go on.
  platform::SetListingFaultHook([](const platform::FileIdentity&) {
    std::this_thread::sleep_for(std::chrono::microseconds(120));
    return 0;
  });
  const platform::Directory start = platform::Directory::OpenFolder(tree.Root().string());
  DirectoryPrefetcher prefetcher(start.OpenSubdirectory("."), 4, 64, true);
  // What the walk has found and not visited from `next` on, as much as the queue takes.
  auto pendingFrom = [](std::uint32_t next) {
    std::vector<DirectoryPrefetcher::Pending> pending;
    for (std::uint32_t i = next; i < kWide && pending.size() < DirectoryPrefetcher::kMaxQueued;
         ++i) {
      pending.emplace_back(DirectoryPrefetcher::Key{i}, std::to_string(i));
    }
    return pending;
  };
  ASSERT_TRUE(prefetcher.Engage({}, pendingFrom(0), DirectoryPrefetcher::kWindow));
  std::uint32_t found = 0;
  std::uint32_t foundBeyondTheQueue = 0;
  for (std::uint32_t i = 0; i < kWide; ++i) {
    // Time for the threads to list this folder and its BDMV, and those they may have in hand,
    // unless they have stopped listing: nothing is left for them.
    const std::uint64_t listed = (kNames + 1) * (i + 1) + 4;
    std::uint64_t seen = prefetcher.Listings();
    auto progressed = std::chrono::steady_clock::now();
    while (seen < listed &&
           std::chrono::steady_clock::now() - progressed < std::chrono::milliseconds(50)) {
      std::this_thread::sleep_for(std::chrono::microseconds(50));
      if (prefetcher.Listings() != seen) {
        seen = prefetcher.Listings();
        progressed = std::chrono::steady_clock::now();
      }
    }
    std::optional<DirectoryPrefetcher::Listing> listing;
    if (prefetcher.Reach({i}, listing)) {
      ++found;
      if (i >= DirectoryPrefetcher::kMaxQueued) ++foundBeyondTheQueue;
      ASSERT_TRUE(listing) << i;
      ASSERT_EQ(listing->entries.size(), kNames) << i;
      // Either the directory itself comes with its listing, or what tells it from another.
      std::optional<FileError> error;
      const platform::FileIdentity listed =
          listing->dir ? listing->dir->Identity(error) : listing->identity;
      EXPECT_EQ(listed, start.OpenSubdirectory(std::to_string(i)).Identity(error)) << i;
    }
    if (prefetcher.Starved()) prefetcher.Refill(pendingFrom(i + 1));
  }
  // A thread slowed by the machine may still hold a folder when the walk reaches it.
  EXPECT_GT(found, kWide * 9 / 10);
  EXPECT_GT(foundBeyondTheQueue, 1000u);
  prefetcher.Stop();
  platform::SetListingFaultHook(nullptr);
}

}  // namespace
