#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "bdmv/modify_bdmv_folder.h"
#include "pass/bdmv_folder_walker.h"
#include "pass/pass_guard.h"
#include "pass/pass_report.h"
#include "pass/pass_state.h"
#include "pass/passes.h"
#include "platform/fault_injection.h"
#include "platform/thread_start.h"
#include "tests/support/pass_runner.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::uint64_t InodeOf(const fs::path& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_ino;
}

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) ? buffer : "";
}

// The targets a walk hands out, relative to the root, in order.
std::vector<std::string> Targets(const TempTree& tree, const std::string& start = "") {
  std::vector<std::string> targets;
  CBdmvFolderWalker walker((tree.Root() / start).string(), "BDMV");
  walker.Walk([&](const DiscLocation& disc) {
    const std::string& path = disc.Path();
    EXPECT_TRUE(disc.Folder().IsOpen()) << path;
    targets.push_back(fs::path(path).lexically_relative(tree.Root()).string());
  });
  return targets;
}

TEST(WalkerTest, FindsEveryVisibleBdmvFolderInAnyCase) {
  TempTree tree;
  tree.MakeDirectories({"a/BDMV", "b/bdmv", "c/Bdmv", "d/.hidden/BDMV", "e/.BDMV", "f/BDMVX",
                        "g/BDMV.old", "h/deep/er/BDMV"});
  WriteBytes(tree / "i", {});
  fs::create_directories(tree / "j");
  WriteBytes(tree / "j" / "BDMV", {1});  // a file, not a folder

  auto targets = Targets(tree);
  std::sort(targets.begin(), targets.end());

  EXPECT_EQ(targets, (std::vector<std::string>{"a/BDMV", "b/bdmv", "c/Bdmv", "h/deep/er/BDMV"}));
}

TEST(WalkerTest, NestedFoldersComeAfterTheirAncestorsAndTheStartIsNoTarget) {
  TempTree tree;
  tree.MakeDirectories({"BDMV/BDMV", "BDMV/BACKUP/BDMV", "BDMV/x/y/BDMV"});

  auto fromRoot = Targets(tree);
  ASSERT_EQ(fromRoot.size(), 4u);
  EXPECT_EQ(fromRoot.front(), "BDMV") << "targets are handled before any descent";
  std::sort(fromRoot.begin() + 1, fromRoot.end());
  EXPECT_EQ(fromRoot,
            (std::vector<std::string>{"BDMV", "BDMV/BACKUP/BDMV", "BDMV/BDMV", "BDMV/x/y/BDMV"}));

  auto fromBdmv = Targets(tree, "BDMV");
  std::sort(fromBdmv.begin(), fromBdmv.end());
  EXPECT_EQ(fromBdmv, (std::vector<std::string>{"BDMV/BACKUP/BDMV", "BDMV/BDMV", "BDMV/x/y/BDMV"}));
}

TEST(WalkerTest, NeverFollowsLinks) {
  TempTree tree;
  tree.MakeDirectories({"real/BDMV", "outside/inner/BDMV"});
  fs::create_directory_symlink(tree / "outside", tree / "real" / "link");
  fs::create_directory_symlink(tree / "real" / "BDMV", tree / "real" / "linked");
  fs::create_directory_symlink(tree / "outside" / "inner" / "BDMV", tree / "bdmv");
  fs::create_directory_symlink(tree.Root(), tree / "real" / "loop");

  auto targets = Targets(tree, "real");

  EXPECT_EQ(targets, std::vector<std::string>{"real/BDMV"});
}

TEST(WalkerTest, AStartFolderGivenAsALinkIsWalked) {
  TempTree tree;
  tree.MakeDirectories({"disk/m/BDMV"});
  fs::create_directory_symlink(tree / "disk", tree / "mount");

  EXPECT_EQ(Targets(tree, "mount"), std::vector<std::string>{"mount/m/BDMV"});
}

TEST(WalkerTest, SkipsAndReportsFoldersItCannotRead) {
  TempTree tree;
  tree.MakeDirectories({"locked/BDMV", "unlisted/BDMV", "open/BDMV"});
  fs::permissions(tree.Root(), fs::perms::all);
  fs::permissions(tree / "locked", fs::perms::none);
  fs::permissions(tree / "unlisted", fs::perms::owner_exec | fs::perms::others_exec);

  // Permissions do not stop root, so the walk runs as an ordinary user in a child process.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setresuid(65534, 65534, 65534) != 0) _exit(2);
    RecordingFrontEnd frontEnd;
    std::vector<std::string> targets;
    CBdmvFolderWalker walker(tree.Root().string(), "BDMV");
    walker.Walk([&](const DiscLocation& disc) { targets.push_back(disc.Path()); }, &frontEnd);
    std::sort(frontEnd.unreadable.begin(), frontEnd.unreadable.end());
    const bool reported =
        frontEnd.unreadable == std::vector<std::pair<std::string, std::string>>{
                                   {(tree / "locked").string(), "Permission denied"},
                                   {(tree / "unlisted").string(), "Permission denied"}};
    _exit(targets != std::vector<std::string>{(tree / "open" / "BDMV").string()} ? 1
          : reported                                                             ? 0
                                                                                 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  fs::permissions(tree / "locked", fs::perms::owner_all);
  fs::permissions(tree / "unlisted", fs::perms::owner_all);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong targets, 2: could not drop root, 3: not reported";
}

// A directory the search gave up its handle of is replaced, or goes, while the search is below
// it: the search never follows a replacement, tells which directory it lost and why, and goes on
// with the rest. Few descriptors make it give up the handles high above the deepest directory.
TEST(WalkerTest, ADirectoryReplacedDuringTheWalkIsReportedAndNotFollowed) {
  struct Case {
    const char* replacement;
    const char* cause;
  };
  for (const Case& replaced :
       {Case{"link", "Not a directory"}, Case{"directory", "moved or replaced during the walk"},
        Case{"nothing", "No such file or directory"}}) {
    SCOPED_TRACE(replaced.replacement);
    TempTree tree;
    tree.MakeDirectories({"start/p/z/BDMV", "outside/BDMV"});
    const fs::path q = tree / "start" / "p" / "q";
    // Two deep chains below q, each level with a side branch that keeps it waiting.
    std::map<std::uint64_t, std::string> bottoms;
    for (const char* branch : {"a", "b"}) {
      fs::path level = q / branch;
      for (int depth = 0; depth < 24; ++depth, level /= "next") {
        fs::create_directories(level / "side");
      }
      fs::create_directories(level);
      bottoms[InodeOf(level)] = branch;
    }
    bool done = false;
    platform::SetListingFaultHook([&](const platform::FileIdentity& directory) {
      const auto bottom = bottoms.find(directory.index);
      if (done || bottom == bottoms.end()) return 0;
      done = true;
      // The branch walked moves away, so that ".." no longer leads back to q; q is replaced.
      fs::rename(q / bottom->second, tree / bottom->second);
      fs::rename(q, tree / "q-old");
      if (replaced.replacement == std::string("link")) {
        fs::create_directory_symlink(tree / "outside", q);
      } else if (replaced.replacement == std::string("directory")) {
        fs::create_directories(q / "BDMV");
      }
      return 0;
    });
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit low = saved;
    low.rlim_cur = 16;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<std::string> targets;
    RecordingFrontEnd frontEnd;
    CBdmvFolderWalker walker((tree / "start").string(), "BDMV");
    walker.Walk([&](const DiscLocation& disc) { targets.push_back(disc.Path()); }, &frontEnd, 1);
    setrlimit(RLIMIT_NOFILE, &saved);
    platform::SetListingFaultHook(nullptr);

    EXPECT_TRUE(done);
    EXPECT_EQ(targets, std::vector<std::string>{(tree / "start" / "p" / "z" / "BDMV").string()});
    EXPECT_EQ(frontEnd.unreadable,
              (std::vector<std::pair<std::string, std::string>>{{q.string(), replaced.cause}}));
  }
}

TEST(WalkerTest, PassesLeaveTheWorkingDirectoryAlone) {
  TempTree tree;
  MakeBdmvFolder(tree / "m", IndexBytes(64, 0));
  const std::string cwd = CurrentDirectory();
  ASSERT_EQ(chdir((tree / "m").c_str()), 0);

  // A relative start folder is walked from the working directory and shown as a full path.
  const auto shown = ModifyTree(".");
  EXPECT_EQ(CurrentDirectory(), (tree / "m").string());
  ASSERT_EQ(chdir(cwd.c_str()), 0);

  EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Modify 1 file successful"});
  EXPECT_EQ(shown.messages.back().directoriesVisited, 2u);
  EXPECT_EQ(shown.handled, std::vector<std::string>{(tree / "m" / "BDMV").string()});
}

// A disc the search's look tells all about is handed over with it, its folder not opened again;
// one that is to change is opened as its turn nears.
TEST(WalkerTest, DiscsToldFromTheSearchAreNotOpenedAgain) {
  TempTree tree;
  for (const char* disc : {"a", "b", "c"}) MakeBdmvFolder(tree / disc, IndexBytes(64, 0x60));
  ModifyTree(tree / "a");
  ModifyTree(tree / "c");
  for (const unsigned threads : {1u, 4u}) {
    CBdmvFolderWalker walker(tree.Root().string(), "BDMV");
    std::vector<std::string> handed;
    walker.Walk(
        [&](const DiscLocation& disc) {
          const FolderOutcome outcome = disc.Modify(false);
          handed.push_back(fs::relative(disc.Path(), tree.Root()).string() +
                           (disc.Folder().IsOpen() ? " opened " : " ") +
                           std::to_string(static_cast<int>(outcome.kind)));
        },
        nullptr, threads,
        {LookDepth::kIndex, LookDepth::kIndexToChange,
         [](const FolderLook& look, const std::string& path) {
           return ModifyOutcomeOfLook(look, path).has_value();
         }});
    const auto told = std::to_string(static_cast<int>(FolderOutcome::Kind::kAlreadyPatched));
    const auto patched = std::to_string(static_cast<int>(FolderOutcome::Kind::kPatched));
    std::sort(handed.begin(), handed.end());
    EXPECT_EQ(handed, (std::vector<std::string>{"a/BDMV " + told, "b/BDMV opened " + patched,
                                                "c/BDMV " + told}));
    EXPECT_EQ(walker.DiscsSettledInSearch(), 2u);
    fs::copy_file(tree / "b" / "BDMV" / "BACKUP" / "index.bdmv", tree / "b" / "BDMV" / "index.bdmv",
                  fs::copy_options::overwrite_existing);
    fs::remove_all(tree / "b" / "BDMV" / "BACKUP");
  }
}

// The looks kept for the discs' turns hold no descriptors: far more discs than the limit allows
// open files are walked, and none is reported unreadable.
TEST(WalkerTest, LooksKeptForTheirTurnsHoldNoDescriptors) {
  TempTree tree;
  for (int disc = 0; disc < 40; ++disc) {
    MakeBdmvFolder(tree / std::to_string(disc), IndexBytes(64, 0x60));
  }
  ModifyTree(tree.Root());
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  rlimit low = saved;
  low.rlim_cur = 32;
  // Also where no looking thread starts: no folder then waits for one with its handle open.
  for (const bool threadsStart : {true, false}) {
    SCOPED_TRACE(threadsStart ? "threads start" : "no thread starts");
    if (!threadsStart) platform::SetThreadStartFaultHook([] { return EAGAIN; });
    setrlimit(RLIMIT_NOFILE, &low);
    const auto shown = ModifyTree(tree.Root());
    setrlimit(RLIMIT_NOFILE, &saved);
    platform::SetThreadStartFaultHook(nullptr);
    EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Modify 40 file successful"});
  }
}

TEST(PassTest, AStartFolderThatCannotBeEnteredEndsThePass) {
  TempTree tree;
  WriteBytes(tree / "file", {});
  for (const fs::path& folder : {fs::path(""), tree / "missing", tree / "file" / "below"}) {
    SCOPED_TRACE(folder);
    const auto modified = ModifyTree(folder);
    const auto restored = RestoreTree(folder);
    for (const auto* shown : {&modified, &restored}) {
      ASSERT_EQ(shown->messages.size(), 1u) << "no summary";
      EXPECT_EQ(shown->messages[0].kind, PassMessage::Kind::kPassLevel);
      EXPECT_EQ(shown->messages[0].text, "Floder Path ERR.");
      EXPECT_EQ(shown->searched.first, 0u);
    }
  }
}

TEST(PassTest, SummariesCountFoldersAndSetThePassState) {
  TempTree tree;
  tree.MakeDirectories({"nothing/here"});
  EXPECT_EQ(ModifyTree(tree.Root(), true).Texts(),
            std::vector<std::string>{"Modify 0 file successful"});
  EXPECT_EQ(g_passMode, PASS_MODIFY);
  EXPECT_EQ(g_convert3DTo2D, 1);
  EXPECT_EQ(RestoreTree(tree.Root()).Texts(),
            std::vector<std::string>{"Resume  0 files successful"});
  EXPECT_EQ(g_passMode, PASS_RESTORE);
  EXPECT_EQ(g_convert3DTo2D, 1) << "a Restore pass leaves the option alone";

  for (const char* disc : {"one", "two", "three/deep"})
    MakeBdmvFolder(tree / disc, IndexBytes(64, 0));
  fs::create_directories(tree / "broken" / "BDMV");
  const auto modified = ModifyTree(tree.Root());
  EXPECT_EQ(modified.messages.back().text, "Modify 3 file successful");
  EXPECT_EQ(modified.handled.size(), 4u);
  EXPECT_EQ(RestoreTree(tree.Root()).messages.back().text, "Resume  3 files successful");
}

TEST(PassTest, ACancelledPassStopsBetweenTwoFoldersAndShowsWhatItDid) {
  TempTree tree;
  // Two discs side by side in one directory, and two elsewhere.
  const std::vector<fs::path> indexes = {
      tree / "x" / "BDMV" / "index.bdmv", tree / "x" / "bdmv" / "index.bdmv",
      tree / "y" / "BDMV" / "index.bdmv", tree / "z" / "w" / "BDMV" / "index.bdmv"};
  for (const auto& index : indexes) {
    WriteBytes(index, IndexBytes(64, 0));
    WriteBytes(index.parent_path() / "MovieObject.bdmv", {1});
  }
  RecordingFrontEnd frontEnd;
  frontEnd.cancel = [&] { return !frontEnd.handled.empty(); };
  RunGuarded(frontEnd, [&] { RunModifyPass(tree.Root().string(), 0, frontEnd); });

  EXPECT_EQ(frontEnd.Texts(), std::vector<std::string>{"Modify 1 file successful"});
  EXPECT_EQ(StoppedText(frontEnd.messages.back()), "Stopped after 1 of 4 discs.");
  int patched = 0;
  for (const auto& index : indexes) {
    const auto size = fs::file_size(index);
    EXPECT_TRUE(size == 64 || size == 88) << index;
    patched += size == 88;
  }
  EXPECT_EQ(patched, 1) << "the folder begun is finished, and no other is begun";
}

// The summary tells a stopped pass from a whole one, and where it stopped, however early or late
// the stop was asked for. A Restore pass walks a tree it does not change, so every run of it
// sees the same directories.
TEST(PassTest, TheSummaryTellsWhetherThePassWasStoppedAndWhere) {
  TempTree tree;
  for (const char* disc : {".", "b", "c/d"}) MakeBdmvFolder(tree / disc, IndexBytes(64, 0));
  ModifyTree(tree.Root());
  const std::size_t all = RestoreTree(tree.Root()).messages.back().directoriesVisited;
  ASSERT_EQ(all, 10u);
  struct Case {
    const char* name;
    std::function<bool(const RecordingFrontEnd&)> cancel;
    std::size_t handled;
    std::string stoppedText;
  };
  const std::vector<Case> cases = {
      {"never", [](const RecordingFrontEnd&) { return false; }, 3, ""},
      {"once the start folder was listed", [](const RecordingFrontEnd&) { return true; }, 0,
       "Stopped after visiting 1 directories."},
      {"once the search was over",
       [](const RecordingFrontEnd& f) { return f.discsFound.has_value(); }, 0,
       "Stopped after 0 of 3 discs."},
      {"after the first disc", [](const RecordingFrontEnd& f) { return f.handled.size() == 1; }, 1,
       "Stopped after 1 of 3 discs."},
      {"after the last disc", [](const RecordingFrontEnd& f) { return f.handled.size() == 3; }, 3,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingFrontEnd frontEnd;
    frontEnd.cancel = [&] { return c.cancel(frontEnd); };
    RunRestorePass(tree.Root().string(), frontEnd);
    ASSERT_FALSE(frontEnd.messages.empty());
    const PassMessage& summary = frontEnd.messages.back();
    EXPECT_EQ(summary.kind, PassMessage::Kind::kSummary);
    EXPECT_EQ(summary.text, "Resume  " + std::to_string(c.handled) + " files successful")
        << "the same text, stopped or not";
    EXPECT_EQ(summary.stopped, !c.stoppedText.empty());
    EXPECT_EQ(StoppedText(summary), c.stoppedText);
    EXPECT_EQ(frontEnd.handled.size(), c.handled);
    if (!summary.stoppedSearching) {
      EXPECT_EQ(summary.directoriesVisited, all);
      EXPECT_EQ(frontEnd.searched, (std::pair<std::size_t, std::size_t>{all, 3}));
    }
  }
}

TEST(PassTest, ScanChangesNothing) {
  TempTree tree;
  MakeBdmvFolder(tree / "plain", IndexBytes(64, 0x60));
  MakeBdmvFolder(tree / "done", IndexBytes(64, 0x60));
  ModifyTree(tree / "done", true);
  // Where both index files exist, scan reads the one a pass would change.
  MakeBdmvFolder(tree / "both", IndexBytes(64, 0x20));
  WriteBytes(tree / "both" / "BDMV" / "INDEX.BDM", IndexBytes(64, 0x40));
  const Bytes plainBefore = ReadBytes(tree / "plain" / "BDMV" / "index.bdmv");

  RecordingFrontEnd frontEnd;
  std::map<std::string, BdmvFolderState> states;
  ASSERT_TRUE(RunScan(tree.Root().string(), frontEnd,
                      [&](const std::string& path, const BdmvFolderState& state) {
                        states[fs::relative(path, tree.Root()).string()] = state;
                      }));

  ASSERT_EQ(states.size(), 3u);
  EXPECT_EQ(states["both/BDMV"].indexFile, "index.bdmv");
  EXPECT_EQ(states["both/BDMV"].flags, 0x20);
  const auto& plain = states["plain/BDMV"];
  EXPECT_EQ(plain.indexFile, "index.bdmv");
  EXPECT_TRUE(plain.isIndexTable);
  EXPECT_FALSE(plain.patched);
  EXPECT_EQ(plain.flags, 0x60);
  EXPECT_EQ(plain.backupFile, "");
  const auto& done = states["done/BDMV"];
  EXPECT_TRUE(done.patched);
  EXPECT_EQ(done.flags, 0x00);
  EXPECT_EQ(done.backupFile, "BACKUP/index.bdmv");
  EXPECT_EQ(ReadBytes(tree / "plain" / "BDMV" / "index.bdmv"), plainBefore);
  EXPECT_FALSE(fs::exists(tree / "plain" / "BDMV" / "BACKUP"));
  EXPECT_TRUE(frontEnd.messages.empty());
}

}  // namespace
