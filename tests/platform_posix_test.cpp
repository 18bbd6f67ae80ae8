// The platform layer's POSIX files, which come in two builds: Linux's own calls, and POSIX's alone.
// Every case here holds for both.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/coarse_clock.h"
#include "platform/descriptors.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "platform/file_error.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

platform::Directory Open(const fs::path& path) {
  platform::Directory directory = platform::Directory::OpenFolder(path.string());
  EXPECT_TRUE(directory.IsOpen()) << directory.OpenError()->what();
  return directory;
}

std::pair<dev_t, ino_t> IdentityOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
  return {status.st_dev, status.st_ino};
}

// The way below must never pass a link, nor lead out of the directory it starts from.
TEST(PlatformPosixTest, OpensBelowWithoutLinksOrAWayOut) {
  TempTree tree;
  tree.MakeDirectories({"start/a/b/c", "outside"});
  const fs::path start = tree / "start";
  fs::create_directory_symlink("b", start / "a" / "link");
  fs::create_directory_symlink(tree / "outside", start / "a" / "away");
  fs::create_symlink("nowhere", start / "a" / "dangling");
  WriteBytes(start / "file", {1});
  const platform::Directory directory = Open(start);

  struct Case {
    std::string path;
    int error;          // 0 where it opens
    std::string opens;  // what it opens, below start
  };
  const std::vector<Case> cases = {
      {"a/b/c", 0, "a/b/c"},
      {"a//b/./c/", 0, "a/b/c"},
      {"a/b/../b/c", 0, "a/b/c"},
      {".", 0, "."},
      {"a/..", 0, "."},
      {"a/link", ELOOP, ""},
      {"a/link/c", ELOOP, ""},
      {"a/away", ELOOP, ""},
      {"a/dangling", ELOOP, ""},
      {"..", EXDEV, ""},
      {"a/../..", EXDEV, ""},
      {"a/../../outside", EXDEV, ""},
      {(tree / "outside").string(), EXDEV, ""},
      {"file", ENOTDIR, ""},
      {"file/..", ENOTDIR, ""},
      {"missing", ENOENT, ""},
      {"missing/..", ENOENT, ""},
      {"", ENOENT, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("\"" + c.path + "\"");
    const platform::Directory opened = directory.OpenBelow(c.path);
    EXPECT_EQ(opened.IsOpen(), c.error == 0);
    if (!opened.IsOpen()) {
      EXPECT_EQ(opened.OpenError()->code().value(), c.error) << opened.OpenError()->what();
      EXPECT_EQ(opened.OpenError()->Path(), c.path);
      continue;
    }
    struct stat status {};
    ASSERT_EQ(fstat(static_cast<int>(opened.NativeHandle()), &status), 0);
    EXPECT_EQ(std::make_pair(status.st_dev, status.st_ino), IdentityOf(start / c.opens));
  }
}

// A random directory listed as it is, compared with the standard library's listing of it: kinds,
// hidden names, only the subdirectories when asked, and the same again on a second listing, also
// through a duplicate of the handle.
TEST(PlatformPosixTest, ListsEveryEntryWithItsKind) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TempTree tree;
    const int count = std::uniform_int_distribution<int>(0, 40)(random);
    for (int i = 0; i < count; ++i) {
      const fs::path path = tree / ((random() % 4 == 0 ? "." : "") + std::to_string(i));
      switch (random() % 5) {
        case 0:
          fs::create_directory(path);
          break;
        case 1:
          WriteBytes(path, {});
          break;
        case 2:
          fs::create_directory_symlink(tree.Root(), path);
          break;
        case 3:
          fs::create_symlink("nowhere", path);
          break;
        default:
          ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
      }
    }
    using Row = std::tuple<std::string, platform::EntryKind, bool>;
    std::vector<Row> expected;
    for (const fs::directory_entry& entry : fs::directory_iterator(tree.Root())) {
      const std::string name = entry.path().filename().string();
      const fs::file_type type = entry.symlink_status().type();
      const platform::EntryKind kind =
          type == fs::file_type::directory ? platform::EntryKind::kDirectory
          : type == fs::file_type::regular ? platform::EntryKind::kFile
          : type == fs::file_type::symlink ? platform::EntryKind::kLink
                                           : platform::EntryKind::kOther;
      expected.emplace_back(name, kind, name[0] == '.');
    }
    std::sort(expected.begin(), expected.end());
    std::vector<Row> directoriesOnly;
    std::copy_if(
        expected.begin(), expected.end(), std::back_inserter(directoriesOnly),
        [](const Row& row) { return std::get<1>(row) == platform::EntryKind::kDirectory; });

    platform::Directory directory = Open(tree.Root());
    for (const bool onlyDirectories : {false, true, false}) {
      std::vector<platform::DirEntry> entries;
      ASSERT_FALSE(directory.List(entries, onlyDirectories));
      std::vector<Row> listed;
      for (const platform::DirEntry& entry : entries) {
        listed.emplace_back(entry.name, entry.kind, entry.hidden);
      }
      std::sort(listed.begin(), listed.end());
      EXPECT_EQ(listed, onlyDirectories ? directoriesOnly : expected);
      // A directory moved or duplicated after it was listed lists the same.
      platform::Directory moved = std::move(directory);
      directory = onlyDirectories ? moved.Duplicate() : std::move(moved);
    }
  }
}

// The coarse clock is the steady one as of a moment ago, never ahead of it and never going back.
TEST(PlatformPosixTest, TheCoarseClockKeepsToTheSteadyOne) {
  using std::chrono::steady_clock;
  steady_clock::time_point last = platform::CoarseNow();
  for (int i = 0; i < 10000; ++i) {
    const steady_clock::time_point before = steady_clock::now();
    const steady_clock::time_point coarse = platform::CoarseNow();
    EXPECT_LE(coarse, steady_clock::now());
    // A timer tick is 10 ms at the longest.
    EXPECT_GE(coarse, before - std::chrono::milliseconds(20));
    EXPECT_GE(coarse, last);
    last = coarse;
  }
}

// The descriptors counted as free are exactly those below the limit that are not open; limits
// are chosen above every descriptor open now, which Linux would count whatever its number.
TEST(PlatformPosixTest, CountsTheFreeDescriptors) {
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
  const auto openBelow = [](rlim_t limit) {
    std::size_t open = 0;
    for (int fd = 0; fd < static_cast<int>(limit); ++fd) open += fcntl(fd, F_GETFD) != -1;
    return open;
  };
  int highest = 0;
  for (int fd = 0; fd < static_cast<int>(std::min<rlim_t>(before.rlim_cur, 1 << 20)); ++fd) {
    if (fcntl(fd, F_GETFD) != -1) highest = fd;
  }
  for (const rlim_t soft : {rlim_t(highest) + 64, rlim_t(highest) + 3000}) {
    SCOPED_TRACE("limit " + std::to_string(soft));
    if (soft > before.rlim_max) continue;
    rlimit changed = before;
    changed.rlim_cur = soft;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &changed), 0);
    std::vector<int> extra;
    for (int added : {0, 5, 20}) {
      while (static_cast<int>(extra.size()) < added) {
        extra.push_back(open("/dev/null", O_RDONLY | O_CLOEXEC));
      }
      EXPECT_EQ(platform::FreeDescriptors(), soft - openBelow(soft)) << added << " added";
    }
    for (const int fd : extra) close(fd);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &before), 0);
  }
}

// A rename that must not replace keeps whatever holds the final name, of any kind, and takes the
// new file away; with the name free, the new file takes it and no other name of it is left.
// A file that cannot be opened to write tells its own cause, before anything tries to hold it.
TEST(PlatformPosixTest, AFailedOpenForWritingTellsItsOwnCause) {
  TempTree tree;
  const platform::Directory dir = platform::Directory::OpenFolder(tree.Root().string());
  try {
    platform::File::OpenForWriting(dir, "missing.iso");
    ADD_FAILURE() << "opened a file that does not exist";
  } catch (const FileError& error) {
    EXPECT_EQ(error.Operation(), platform::FileOperation::kOpen);
    EXPECT_EQ(error.Cause(), FileErrorCause::kFileNotFound);
  }
}

TEST(PlatformPosixTest, APublishThatMustNotReplaceNeverDoes) {
  const Bytes content = {'n', 'e', 'w'};
  const std::vector<std::pair<std::string, std::function<void(const fs::path&)>>> holders = {
      {"nothing", [](const fs::path&) {}},
      {"a file",
       [](const fs::path& path) {
         WriteBytes(path, {'o', 'l', 'd'});
       }},
      {"a directory", [](const fs::path& path) { fs::create_directory(path); }},
      {"a link", [](const fs::path& path) { fs::create_symlink("target", path); }},
      {"a dangling link", [](const fs::path& path) { fs::create_symlink("nowhere", path); }},
      {"a FIFO", [](const fs::path& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); }},
  };
  for (const auto& [holder, make] : holders) {
    SCOPED_TRACE(holder);
    TempTree tree;
    WriteBytes(tree / "target", {'t'});
    make(tree / "final");
    const bool taken = fs::exists(fs::symlink_status(tree / "final"));
    const auto before = taken ? IdentityOf(tree / "final") : std::pair<dev_t, ino_t>{};
    const platform::Directory directory = Open(tree.Root());
    {
      platform::NewFile file(directory, "final", "final");
      file.Write(content);
      if (taken) {
        try {
          file.Publish(false);
          ADD_FAILURE() << "replaced";
        } catch (const FileError& error) {
          EXPECT_EQ(error.code().value(), EEXIST);
          EXPECT_EQ(error.Operation(), platform::FileOperation::kRename);
          EXPECT_EQ(error.Path(), "final");
        }
      } else {
        file.Publish(false);
      }
    }
    EXPECT_EQ(Names(tree.Root()), (std::vector<std::string>{"final", "target"}))
        << "no temporary name is left";
    if (taken) {
      EXPECT_EQ(IdentityOf(tree / "final"), before);
    } else {
      EXPECT_EQ(ReadBytes(tree / "final"), content);
      EXPECT_EQ(fs::hard_link_count(tree / "final"), 1u);
    }
  }
}

}  // namespace
