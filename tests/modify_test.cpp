#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "bdmv/folder_look.h"
#include "bdmv/index_table.h"
#include "bdmv/modify_bdmv_folder.h"
#include "pass/pass_state.h"
#include "pass/passes.h"
#include "platform/fault_injection.h"
#include "tests/support/pass_runner.h"
#include "tests/support/platform_build.h"
#include "tests/support/privileges.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string kModifiedOne = "Modify 1 file successful";
const std::string kModifiedNone = "Modify 0 file successful";

struct stat StatOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
  return status;
}

// A socket is bound where a disc file belongs; the name stays once it is closed.
void MakeSocket(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.string().size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

class ModifyTest : public ::testing::Test {
 protected:
  fs::path Bdmv() const { return tree / "Movie" / "BDMV"; }
  fs::path Index() const { return Bdmv() / "index.bdmv"; }
  std::string FolderMessage(const std::string& text) const { return Bdmv().string() + ": " + text; }

  TempTree tree;
};

TEST_F(ModifyTest, PatchesBacksUpAndTouchesTheMovieObject) {
  for (bool convert : {false, true}) {
    SCOPED_TRACE(convert ? "with 3D to 2D" : "without 3D to 2D");
    const Bytes original = IndexBytes(120, 0x60);
    MakeBdmvFolder(tree / "Movie", original);
    // A copy made with 8.3 names has the short name.
    const fs::path movieObject = Bdmv() / (convert ? "MOVIEOBJ.BDM" : "MovieObject.bdmv");
    fs::rename(Bdmv() / "MovieObject.bdmv", movieObject);
    const timespec old[2] = {{1'000'000'123, 456}, {1'000'000'000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, movieObject.c_str(), old, 0), 0);
    const time_t before = time(nullptr);

    const auto shown = ModifyTree(tree.Root(), convert);

    EXPECT_EQ(shown.Texts(), std::vector<std::string>{kModifiedOne});
    EXPECT_EQ(g_passCount, 1);
    EXPECT_EQ(DescribeDifference(PatchedBytes(original, convert), ReadBytes(Index())), "");
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Bdmv() / "BACKUP" / "index.bdmv")), "");
    const struct stat movie = StatOf(movieObject);
    EXPECT_GE(movie.st_mtim.tv_sec, before);
    EXPECT_EQ(movie.st_mtim.tv_nsec, 0) << "the time is set in whole seconds";
    EXPECT_EQ(movie.st_atim.tv_sec, 1'000'000'123) << "the access time is kept";
    EXPECT_EQ(movie.st_atim.tv_nsec, 0);
    fs::remove_all(tree / "Movie");
  }
}

TEST_F(ModifyTest, SecondRunChangesNothingButCounts) {
  const Bytes original = IndexBytes(200, 0x60);
  MakeBdmvFolder(tree / "Movie", original);
  ModifyTree(tree.Root(), false);
  const Bytes once = ReadBytes(Index());
  const timespec old[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (Bdmv() / "MovieObject.bdmv").c_str(), old, 0), 0);

  // Converting now does not clear the flags of a file patched without it.
  const auto shown = ModifyTree(tree.Root(), true);

  EXPECT_EQ(shown.Texts(), std::vector<std::string>{kModifiedOne});
  EXPECT_EQ(DescribeDifference(once, ReadBytes(Index())), "");
  EXPECT_EQ(ReadBytes(Index())[44], 0x60);
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Bdmv() / "BACKUP" / "index.bdmv")), "")
      << "the backup keeps the file as it was before the first patch";
  EXPECT_EQ(StatOf(Bdmv() / "MovieObject.bdmv").st_mtim.tv_sec, 1'000'000'000);
}

// A look read ahead of the folder's turn goes stale when the index file changes meanwhile: a
// Modify that is to write judges the file the name leads to at its turn, backs up that one, never
// patches twice and lets go of it on return.
TEST_F(ModifyTest, ALookReadAheadIsCheckedAgainstTheFileItChanges) {
  const Bytes original = IndexBytes(200, 0x60);
  const Bytes other = IndexBytes(240, 0x60);
  struct Case {
    const char* name;
    std::function<void()> meanwhile;
    FolderOutcome::Kind outcome;
    const Bytes& kept;  // the backup, and the file patched from it
  };
  const std::vector<Case> cases = {
      {"patched meanwhile", [&] { ModifyTree(tree.Root()); }, FolderOutcome::Kind::kAlreadyPatched,
       original},
      {"replaced meanwhile",
       [&] {
         WriteBytes(Bdmv() / "index.new", other);
         fs::rename(Bdmv() / "index.new", Index());
       },
       FolderOutcome::Kind::kPatched, other},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(tree / "Movie");
    MakeBdmvFolder(tree / "Movie", original);
    const platform::Directory folder = platform::Directory::OpenFolder(Bdmv().string());
    FolderLook look = LookAtFolder(folder, LookDepth::kIndexToChange);
    c.meanwhile();
    const FolderOutcome outcome = ModifyBdmvFolder(folder, Bdmv().string(), false, &look);
    EXPECT_EQ(outcome.kind, c.outcome) << outcome.message;
    EXPECT_EQ(DescribeDifference(PatchedBytes(c.kept, false), ReadBytes(Index())), "");
    EXPECT_EQ(DescribeDifference(c.kept, ReadBytes(Bdmv() / "BACKUP" / "index.bdmv")), "");
    // The look's handle waits to be closed; the next pass need not.
    EXPECT_NO_THROW(platform::File::OpenExclusive(folder, "index.bdmv"));
  }
}

TEST_F(ModifyTest, KeepsOwnerAndPermissionBitsAndAFileWithoutMovieObject) {
  SKIP_UNLESS_ROOT("give the index file to another user");
  MakeBdmvFolder(tree / "Movie", IndexBytes(60, 0));
  fs::remove(Bdmv() / "MovieObject.bdmv");
  ASSERT_EQ(chmod(Index().c_str(), 0640), 0);
  ASSERT_EQ(chown(Index().c_str(), 1234, 5678), 0);

  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{kModifiedOne});
  const struct stat status = StatOf(Index());
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(status.st_uid, 1234u);
  EXPECT_EQ(status.st_gid, 5678u);
  EXPECT_EQ(ReadBytes(Index()).size(), 84u);

  // A FIFO in the movie object's place is left alone, never waited on.
  fs::remove_all(tree / "Movie");
  MakeBdmvFolder(tree / "Movie", IndexBytes(60, 0));
  fs::remove(Bdmv() / "MovieObject.bdmv");
  ASSERT_EQ(mkfifo((Bdmv() / "MovieObject.bdmv").c_str(), 0644), 0);
  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{kModifiedOne});
  EXPECT_EQ(ReadBytes(Index()).size(), 84u);
}

// A socket is told apart like a FIFO: as the movie object it is left alone, as the index file it
// is no index.
TEST_F(ModifyTest, ASocketInADiscFilesPlaceIsLeftAlone) {
  if (kPlainPosix) {
    GTEST_SKIP() << "POSIX opens a socket for nothing, not even to tell what it is: the open's "
                    "failure ends the pass";
  }
  MakeBdmvFolder(tree / "Movie", IndexBytes(60, 0));
  fs::remove(Bdmv() / "MovieObject.bdmv");
  MakeSocket(Bdmv() / "MovieObject.bdmv");
  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{kModifiedOne});
  EXPECT_EQ(ReadBytes(Index()).size(), 84u);

  fs::remove_all(tree / "Movie");
  MakeBdmvFolder(tree / "Movie", IndexBytes(60, 0));
  fs::remove(Index());
  MakeSocket(Index());
  EXPECT_EQ(ModifyTree(tree.Root()).Texts(),
            (std::vector<std::string>{FolderMessage("Modify Fail,index file is not a BD index"),
                                      kModifiedNone}));
  EXPECT_FALSE(fs::exists(Bdmv() / "BACKUP" / "index.bdmv"));
}

TEST_F(ModifyTest, ChoosesTheIndexFileByName) {
  // The primary name wins whenever it exists; names match in any case; a backup is created
  // under the name as Quorvel spells it.
  fs::create_directories(Bdmv());
  const Bytes primary = IndexBytes(50, 1);
  const Bytes alternative = IndexBytes(70, 2);
  WriteBytes(Bdmv() / "Index.BDMV", primary);
  WriteBytes(Bdmv() / "INDEX.BDM", alternative);

  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{kModifiedOne});
  EXPECT_EQ(ReadBytes(Bdmv() / "Index.BDMV").size(), 74u);
  EXPECT_EQ(DescribeDifference(alternative, ReadBytes(Bdmv() / "INDEX.BDM")), "");
  EXPECT_EQ(Names(Bdmv() / "BACKUP"), std::vector<std::string>{"index.bdmv"});

  fs::remove(Bdmv() / "Index.BDMV");
  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{kModifiedOne});
  EXPECT_EQ(ReadBytes(Bdmv() / "INDEX.BDM").size(), 94u);
  EXPECT_EQ(Names(Bdmv() / "BACKUP"), (std::vector<std::string>{"INDEX.BDM", "index.bdmv"}));
}

// Where a case-sensitive disk holds two spellings, the exact one is the disc's index file: it is
// backed up, patched and restored, and the other is never touched. Listing order must not decide,
// so each other spelling is made before and after the exact one.
TEST_F(ModifyTest, AnExactNameWinsOverTheSameNameInAnotherCase) {
  const Bytes exact = IndexBytes(64, 0x60);
  const Bytes other = IndexBytes(80, 0x20);
  for (const char* spelling : {"Index.bdmv", "INDEX.BDMV", "index.BDMV", "iNDEX.bdmv"}) {
    for (const bool otherFirst : {true, false}) {
      SCOPED_TRACE(std::string(spelling) + (otherFirst ? " made first" : " made last"));
      fs::create_directories(Bdmv());
      if (otherFirst) WriteBytes(Bdmv() / spelling, other);
      MakeBdmvFolder(tree / "Movie", exact);
      if (!otherFirst) WriteBytes(Bdmv() / spelling, other);

      EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{kModifiedOne});
      EXPECT_EQ(DescribeDifference(PatchedBytes(exact, false), ReadBytes(Index())), "");
      EXPECT_EQ(DescribeDifference(exact, ReadBytes(Bdmv() / "BACKUP" / "index.bdmv")), "");
      EXPECT_EQ(RestoreTree(tree.Root()).Texts(),
                std::vector<std::string>{"Resume  1 files successful"});
      EXPECT_EQ(DescribeDifference(exact, ReadBytes(Index())), "");
      EXPECT_EQ(DescribeDifference(other, ReadBytes(Bdmv() / spelling)), "");
      fs::remove_all(tree / "Movie");
    }
  }
}

// The BACKUP folder a Modify makes is as open as the user's other new folders.
TEST_F(ModifyTest, TheBackupFolderTakesTheUsersUmask) {
  for (const mode_t mask : {mode_t{022}, mode_t{007}}) {
    SCOPED_TRACE(testing::Message() << "umask " << std::oct << mask);
    MakeBdmvFolder(tree / "Movie", IndexBytes(64, 0x60));
    const mode_t saved = umask(mask);
    const auto shown = ModifyTree(tree.Root());
    umask(saved);
    EXPECT_EQ(shown.Texts(), std::vector<std::string>{kModifiedOne});
    EXPECT_EQ(StatOf(Bdmv() / "BACKUP").st_mode & 07777, 0777 & ~mask);
    fs::remove_all(tree / "Movie");
  }
}

TEST_F(ModifyTest, ReportsFoldersItCannotHandleAndGoesOn) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& bdmv)> prepare;
    const char* message;
    bool backupExpected;
  };
  const std::vector<Case> cases = {
      {"no index file", [](const fs::path& bdmv) { fs::remove(bdmv / "index.bdmv"); },
       "modify Fail,Please check if path is correct ", false},
      {"index file is a link",
       [](const fs::path& bdmv) {
         fs::rename(bdmv / "index.bdmv", bdmv / "real.bdmv");
         fs::create_symlink("real.bdmv", bdmv / "index.bdmv");
       },
       "modify Fail,Please check if path is correct ", false},
      {"read-only index", [](const fs::path& bdmv) { SetReadOnly(bdmv / "index.bdmv", true); },
       "Modify Fail,Please check if BDMV is ReadOnly", true},
      {"read-only patched index",
       [](const fs::path& bdmv) {
         ModifyTree(bdmv.parent_path());
         SetReadOnly(bdmv / "index.bdmv", true);
       },
       "Modify Fail,Please check if BDMV is ReadOnly", true},
      {"not an index table",
       [](const fs::path& bdmv) { WriteBytes(bdmv / "index.bdmv", Bytes(100, 'x')); },
       "Modify Fail,index file is not a BD index", true},
      {"index table too short",
       [](const fs::path& bdmv) { WriteBytes(bdmv / "index.bdmv", IndexBytes(44, 0)); },
       "Modify Fail,index file is not a BD index", true},
      {"BACKUP is a file",
       [](const fs::path& bdmv) {
         WriteBytes(bdmv / "BACKUP", {1, 2, 3});
       },
       "Modify Fail,Can not create backup file", false},
      {"BACKUP is a link to a folder",
       [](const fs::path& bdmv) {
         fs::create_directory(bdmv / "elsewhere");
         fs::create_directory_symlink("elsewhere", bdmv / "BACKUP");
       },
       "Modify Fail,Can not create backup file", false},
      {"backup name taken by a folder",
       [](const fs::path& bdmv) { fs::create_directories(bdmv / "BACKUP" / "index.bdmv"); },
       "Modify Fail,Can not create backup file", false},
      // A FIFO is never waited on; opened blocking, these would hang the pass.
      {"index file is a FIFO",
       [](const fs::path& bdmv) {
         fs::remove(bdmv / "index.bdmv");
         ASSERT_EQ(mkfifo((bdmv / "index.bdmv").c_str(), 0644), 0);
       },
       "Modify Fail,index file is not a BD index", false},
      {"backup is a FIFO",
       [](const fs::path& bdmv) {
         fs::create_directory(bdmv / "BACKUP");
         ASSERT_EQ(mkfifo((bdmv / "BACKUP" / "index.bdmv").c_str(), 0644), 0);
       },
       "Modify Fail,Can not create backup file", false},
      // Refused before a backup of gigabytes is made; the file is sparse, so nothing is written.
      {"index table too long for the patch",
       [](const fs::path& bdmv) { fs::resize_file(bdmv / "index.bdmv", std::uint64_t{5} << 30); },
       "Modify Fail,index file is too large", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeBdmvFolder(tree / "A", IndexBytes(64, 0x60));
    MakeBdmvFolder(tree / "Movie", IndexBytes(64, 0x60));
    c.prepare(Bdmv());
    const Bytes before = fs::is_regular_file(Index()) && fs::file_size(Index()) < 4096
                             ? ReadBytes(Index())
                             : Bytes{};

    const auto shown = ModifyTree(tree.Root());

    ASSERT_EQ(shown.messages.size(), 2u);
    EXPECT_EQ(shown.messages[0].kind, PassMessage::Kind::kFolder);
    EXPECT_EQ(shown.messages[0].text, c.message);
    EXPECT_EQ(shown.messages[0].folder, Bdmv().string());
    EXPECT_EQ(shown.messages[1].text, kModifiedOne) << "the other folder is handled and counted";
    if (!before.empty()) {
      EXPECT_EQ(DescribeDifference(before, ReadBytes(Index())), "");
    }
    EXPECT_EQ(fs::is_regular_file(Bdmv() / "BACKUP" / "index.bdmv"), c.backupExpected);
    fs::remove_all(tree / "A");
    fs::remove_all(tree / "Movie");
  }
}

TEST_F(ModifyTest, RefusesLongPaths) {
  // 486 bytes is accepted, 487 refused.
  const std::size_t fixed = tree.Root().string().size() + std::string("/BDMV").size();
  for (std::size_t length : {486u, 487u}) {
    SCOPED_TRACE(length);
    fs::path disc = tree.Root();
    std::size_t remaining = length - fixed;
    while (remaining > 0) {
      std::size_t part = std::min<std::size_t>(remaining - 1, 100);
      if (remaining - (part + 1) == 1) --part;  // never leave room for an empty name
      disc /= std::string(part, 'd');
      remaining -= part + 1;
    }
    MakeBdmvFolder(disc, IndexBytes(64, 0));
    ASSERT_EQ((disc / "BDMV").string().size(), length);

    const auto shown = ModifyTree(tree.Root());

    const auto restored = RestoreTree(tree.Root());
    const std::string tooLong =
        (disc / "BDMV").string() + ": BD Floder path is too long,please modify the location";
    if (length == 486) {
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{kModifiedOne});
      EXPECT_EQ(restored.Texts(), std::vector<std::string>{"Resume  1 files successful"});
    } else {
      EXPECT_EQ(shown.Texts(), (std::vector<std::string>{tooLong, kModifiedNone}));
      EXPECT_EQ(restored.Texts(),
                (std::vector<std::string>{tooLong, "Resume  0 files successful"}));
    }
    fs::remove_all(tree.Root() / fs::relative(disc, tree.Root()).begin()->string());
  }
}

TEST_F(ModifyTest, ReadOnlyMovieObjectEndsThePassBeforeTheIndexChanges) {
  const Bytes original = IndexBytes(90, 0x60);
  MakeBdmvFolder(tree / "Movie", original);
  MakeBdmvFolder(tree / "Movie" / "Later", IndexBytes(90, 0x60));
  SetReadOnly(Bdmv() / "MovieObject.bdmv", true);

  const auto shown = ModifyTree(tree.Root(), true);

  ASSERT_EQ(shown.messages.size(), 1u) << "no summary after a file error";
  EXPECT_EQ(shown.messages[0].kind, PassMessage::Kind::kFileError);
  EXPECT_EQ(shown.messages[0].icon, PassMessage::Icon::kStop);
  EXPECT_EQ(shown.messages[0].text, "对 一未命名文件 的存取被拒绝。");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Bdmv() / "BACKUP" / "index.bdmv")), "");
  EXPECT_EQ(g_passCount, 0);
  EXPECT_FALSE(fs::exists(tree / "Movie" / "Later" / "BDMV" / "BACKUP"))
      << "the pass ended: the rest of the tree is not visited";
  EXPECT_EQ(Names(Bdmv()), (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));
}

// In Restore too: the file is held, not a backup that cannot be copied.
TEST_F(ModifyTest, IndexHeldByAnotherQuorvelIsASharingViolation) {
  MakeBdmvFolder(tree / "Movie", IndexBytes(90, 0x60));
  const int held = open(Index().c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);

  const auto modified = ModifyTree(tree.Root());
  WriteBytes(Bdmv() / "BACKUP" / "index.bdmv", IndexBytes(80, 0x60));
  const auto restored = RestoreTree(tree.Root());
  close(held);

  for (const auto& shown : {modified, restored}) {
    ASSERT_EQ(shown.messages.size(), 1u);
    EXPECT_EQ(shown.messages[0].kind, PassMessage::Kind::kFileError);
    EXPECT_EQ(shown.messages[0].text, "在存取 一未命名文件 时发生共享违例。");
  }
  EXPECT_EQ(ReadBytes(Index()).size(), 90u);
}

// A backup that is there but cannot be read makes no patch undoable: the folder is refused with
// the system's cause, and nothing is written.
TEST_F(ModifyTest, ABackupThatCannotBeReadIsRefusedWithItsCause) {
  const Bytes original = IndexBytes(64, 0x60);
  MakeBdmvFolder(tree / "Movie", original);
  fs::create_directory(Bdmv() / "BACKUP");
  WriteBytes(Bdmv() / "BACKUP" / "index.bdmv", original);
  fs::permissions(tree.Root(), fs::perms::all);
  fs::permissions(Bdmv() / "BACKUP" / "index.bdmv", fs::perms::none);

  // Permissions do not stop root, so the pass runs as an ordinary user in a child process.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setresuid(65534, 65534, 65534) != 0) _exit(2);
    const auto shown = ModifyTree(tree.Root());
    const bool refused = shown.messages.size() == 2 &&
                         shown.messages[0].text == "Modify Fail,Can not create backup file";
    _exit(!refused ? 1 : shown.messages[0].cause == std::strerror(EACCES) ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not refused, 2: could not drop root, 3: no cause";
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
}

// A BDMV folder that cannot be listed is told as such, with the system's cause, by every pass;
// it is not taken for a folder without an index file.
TEST_F(ModifyTest, AFolderThatCannotBeListedIsReportedWithItsCause) {
  MakeBdmvFolder(tree / "Movie", IndexBytes(90, 0x60));
  struct stat status {};
  ASSERT_EQ(stat(Bdmv().c_str(), &status), 0);
  const platform::FileIdentity bdmv{status.st_dev, status.st_ino};
  platform::SetListingFaultHook(
      [&](const platform::FileIdentity& directory) { return directory == bdmv ? EIO : 0; });
  const std::string cause = std::strerror(EIO);

  const auto modified = ModifyTree(tree.Root());
  ASSERT_FALSE(modified.messages.empty());
  EXPECT_EQ(modified.messages[0].text, "Modify Fail,Can not read BDMV folder");
  EXPECT_EQ(modified.messages[0].cause, cause);
  const auto restored = RestoreTree(tree.Root());
  ASSERT_FALSE(restored.messages.empty());
  EXPECT_EQ(restored.messages[0].text, "Resume fail,Can not read BDMV folder");
  EXPECT_EQ(restored.messages[0].cause, cause);
  RecordingFrontEnd scanned;
  int reported = 0;
  RunScan(tree.Root().string(), scanned,
          [&](const std::string&, const BdmvFolderState&) { ++reported; });
  platform::SetListingFaultHook(nullptr);

  EXPECT_EQ(reported, 0);
  ASSERT_FALSE(scanned.unreadable.empty());
  EXPECT_EQ(scanned.unreadable[0], std::make_pair(Bdmv().string(), cause));
  EXPECT_EQ(ReadBytes(Index()).size(), 90u);
  EXPECT_FALSE(fs::exists(Bdmv() / "BACKUP"));
}

}  // namespace
