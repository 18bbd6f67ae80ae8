#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "tests/support/pass_runner.h"
#include "tests/support/privileges.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;
using platform::IoStep;

namespace {

constexpr uid_t kNobody = 65534;

struct stat StatOf(const fs::path& path) {
  struct stat status {};
  EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
  return status;
}

// Fails the n-th call (from 0) of one step with `error`, after the call has run.
class FailNth {
 public:
  FailNth(IoStep step, int n, int error, std::function<void()> before = {}) {
    platform::SetFaultHook([=, this, before = std::move(before)](IoStep seen) {
      if (seen != step || m_seen++ != n) return 0;
      if (before) before();
      return error;
    });
  }
  ~FailNth() { platform::SetFaultHook(nullptr); }

 private:
  int m_seen = 0;
};

struct Fault {
  IoStep step;
  int n;  // which call of the step, from 0
  int error;
};

// Fails each of the listed calls, after the call has run.
class FailCalls {
 public:
  explicit FailCalls(std::vector<Fault> faults) {
    platform::SetFaultHook([this, faults = std::move(faults)](IoStep step) {
      const int call = m_seen[step]++;
      for (const Fault& fault : faults) {
        if (fault.step == step && fault.n == call) return fault.error;
      }
      return 0;
    });
  }
  ~FailCalls() { platform::SetFaultHook(nullptr); }

 private:
  std::map<IoStep, int> m_seen;
};

// Runs `pass` in a child process as "nobody"; returns the texts it showed.
std::vector<std::string> AsNobody(const std::function<RecordingFrontEnd()>& pass) {
  int pipeEnds[2];
  EXPECT_EQ(pipe(pipeEnds), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    if (setresgid(kNobody, kNobody, kNobody) != 0 || setresuid(kNobody, kNobody, kNobody) != 0)
      _exit(2);
    std::string texts;
    for (const auto& text : pass().Texts()) texts += text + '\n';
    const ssize_t written = write(pipeEnds[1], texts.data(), texts.size());
    _exit(written == static_cast<ssize_t>(texts.size()) ? 0 : 3);
  }
  close(pipeEnds[1]);
  std::string received;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) received.append(buffer, n);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child failed: " << status;
  std::vector<std::string> texts;
  for (std::size_t start = 0, end; (end = received.find('\n', start)) != std::string::npos;
       start = end + 1) {
    texts.push_back(received.substr(start, end - start));
  }
  return texts;
}

class DiscSafetyTest : public ::testing::Test {
 protected:
  DiscSafetyTest() : original(IndexBytes(150 * 1024, 0x60)) {
    fs::permissions(tree.Root(), fs::perms::all);
    MakeBdmvFolder(tree / "disc", original);
  }
  fs::path Bdmv() const { return tree / "disc" / "BDMV"; }
  fs::path Index() const { return Bdmv() / "index.bdmv"; }
  fs::path Backup() const { return Bdmv() / "BACKUP" / "index.bdmv"; }
  std::string Folder(const std::string& text) const { return Bdmv().string() + ": " + text; }

  TempTree tree;
  Bytes original;
};

// Where the patched file could not keep the original's owner, or the folder takes no new file,
// the index file is written where it stands: same file, same owner and mode, right bytes.
TEST_F(DiscSafetyTest, WhereARenameCannotKeepTheFileItIsWrittenInPlace) {
  SKIP_UNLESS_ROOT("give the index file to another user");
  struct Case {
    const char* name;
    IoStep step;
    int n;  // which call of the step: a Modify makes the backup first
    int error;
  };
  for (const Case& c : {Case{"owner cannot be kept", IoStep::kChown, 0, EPERM},
                        Case{"folder takes no new file", IoStep::kCreate, 1, EACCES}}) {
    SCOPED_TRACE(c.name);
    fs::remove_all(tree / "disc");
    MakeBdmvFolder(tree / "disc", original);
    ASSERT_EQ(chown(Index().c_str(), 1234, 5678), 0);
    ASSERT_EQ(chmod(Index().c_str(), 0604), 0);
    const ino_t inode = StatOf(Index()).st_ino;
    {
      FailNth fail(c.step, c.n, c.error);
      EXPECT_EQ(ModifyTree(tree.Root(), true).Texts(),
                std::vector<std::string>{"Modify 1 file successful"});
    }
    EXPECT_EQ(DescribeDifference(PatchedBytes(original, true), ReadBytes(Index())), "");
    {
      FailNth fail(c.step, 0, c.error);
      EXPECT_EQ(RestoreTree(tree.Root()).Texts(),
                std::vector<std::string>{"Resume  1 files successful"});
    }
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
    const struct stat status = StatOf(Index());
    EXPECT_EQ(status.st_ino, inode) << "written in place";
    EXPECT_EQ(status.st_uid, 1234u);
    EXPECT_EQ(status.st_gid, 5678u);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    EXPECT_EQ(Names(Bdmv()),
              (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));
  }
}

// The same as a user would meet it: another user's index file that anyone may write, in a
// folder anyone may write to, or in one nobody but its owner may.
TEST_F(DiscSafetyTest, AnotherUsersWritableIndexIsPatchedAndRestoredAndKeepsItsOwner) {
  SKIP_UNLESS_ROOT("give files to \"nobody\" and run the pass as that user");
  for (const auto folderMode :
       {fs::perms::all, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec}) {
    SCOPED_TRACE(static_cast<int>(folderMode));
    fs::remove_all(tree / "disc");
    MakeBdmvFolder(tree / "disc", original);
    fs::create_directory(Bdmv() / "BACKUP");
    fs::permissions(Bdmv() / "BACKUP", fs::perms::all);
    fs::permissions(tree / "disc", fs::perms::all);
    ASSERT_EQ(chmod(Index().c_str(), 0666), 0);
    ASSERT_EQ(chown((Bdmv() / "MovieObject.bdmv").c_str(), kNobody, kNobody), 0);
    fs::permissions(Bdmv(), folderMode);

    EXPECT_EQ(AsNobody([&] { return ModifyTree(tree.Root()); }),
              std::vector<std::string>{"Modify 1 file successful"});
    EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(Index())), "");
    EXPECT_EQ(AsNobody([&] { return RestoreTree(tree.Root()); }),
              std::vector<std::string>{"Resume  1 files successful"});
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
    EXPECT_EQ(StatOf(Index()).st_uid, 0u);
    EXPECT_EQ(StatOf(Index()).st_mode & 07777, 0666u);
    fs::permissions(Bdmv(), fs::perms::all);
  }
}

// The movie-object file's time is set before the index file changes: where it cannot be, the
// pass ends with the index file untouched, and the next Modify completes the folder.
TEST_F(DiscSafetyTest, AMovieObjectWhoseTimeCannotBeSetLeavesTheIndexUntouched) {
  SKIP_UNLESS_ROOT("give the index file to \"nobody\" and run the pass as that user");
  fs::permissions(Bdmv(), fs::perms::all);
  ASSERT_EQ(chown(Index().c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chmod((Bdmv() / "MovieObject.bdmv").c_str(), 0666), 0);
  // Another user's file: writable, but only its owner may set its time.
  EXPECT_EQ(AsNobody([&] { return ModifyTree(tree.Root()); }),
            std::vector<std::string>{"对 一未命名文件 的存取被拒绝。"});
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");

  {
    FailNth fail(IoStep::kTime, 0, EIO);
    EXPECT_EQ(ModifyTree(tree.Root()).Texts(),
              std::vector<std::string>{"在存取 一未命名文件 时一个硬件输入/输出错误被报告。"});
  }
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
  ASSERT_EQ(
      utimensat(
          AT_FDCWD, (Bdmv() / "MovieObject.bdmv").c_str(),
          std::array<timespec, 2>{timespec{1'000'000'000, 0}, timespec{1'000'000'000, 0}}.data(),
          0),
      0);
  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{"Modify 1 file successful"});
  EXPECT_GT(StatOf(Bdmv() / "MovieObject.bdmv").st_mtim.tv_sec, 1'000'000'000);
}

// Every way a backup could be lost, doubled or cut short is reported, and the index file stays
// as it was.
TEST_F(DiscSafetyTest, ABackupThatIsNotSureLeavesTheIndexUntouched) {
  const Bytes other = {'o', 't', 'h', 'e', 'r'};
  struct Fault {
    IoStep step;
    int n;  // which call of the step fails
    int error;
  };
  struct Case {
    const char* name;
    std::vector<Fault> faults;
    std::function<void()> meanwhile;  // done as the first fault listed fires
    bool backupAppears;
    std::size_t indexSize;
  };
  const std::size_t size = original.size();
  const std::vector<Case> cases = {
      {"without the no-replace flag, the first name cannot be removed",
       {{IoStep::kNoReplaceFlag, 0, EINVAL}, {IoStep::kUnlink, 0, EIO}},
       {},
       false,
       size},
      // The link ran; as the system reports it, it made no name, and another program made one.
      {"without the no-replace flag or links, a backup appears before the last-resort rename",
       {{IoStep::kLink, 0, EPERM}, {IoStep::kNoReplaceFlag, 0, EINVAL}},
       [&] {
         fs::remove(Backup());
         WriteBytes(Backup(), other);
       },
       true,
       size},
      {"a backup appears while it is written",
       {{IoStep::kWrite, 0, 0}},
       [&] { WriteBytes(Backup(), other); },
       true,
       size},
      {"a backup appears while it is written, without the no-replace flag",
       {{IoStep::kWrite, 0, 0}, {IoStep::kNoReplaceFlag, 0, EINVAL}},
       [&] { WriteBytes(Backup(), other); },
       true,
       size},
      // Once the copy's first part is written, the rest of it is gone.
      {"the index file shrinks while it is copied",
       {{IoStep::kWrite, 0, 0}},
       [&] { fs::resize_file(Index(), 100 * 1024); },
       false,
       100 * 1024},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(tree / "disc");
    MakeBdmvFolder(tree / "disc", original);
    std::vector<int> seen(16, 0);
    platform::SetFaultHook([&](IoStep step) {
      const int call = seen[static_cast<int>(step)]++;
      for (const Fault& fault : c.faults) {
        if (step != fault.step || call != fault.n) continue;
        if (c.meanwhile && &fault == &c.faults.front()) c.meanwhile();
        return fault.error;
      }
      return 0;
    });
    const auto shown = ModifyTree(tree.Root());
    platform::SetFaultHook(nullptr);

    EXPECT_EQ(shown.Texts(),
              (std::vector<std::string>{Folder("Modify Fail,Can not create backup file"),
                                        "Modify 0 file successful"}));
    const Bytes unchanged(original.begin(),
                          original.begin() + static_cast<std::ptrdiff_t>(c.indexSize));
    EXPECT_EQ(DescribeDifference(unchanged, ReadBytes(Index())), "");
    if (c.backupAppears) {
      EXPECT_EQ(ReadBytes(Backup()), other) << "an existing backup is never replaced";
    }
    EXPECT_EQ(Names(Bdmv() / "BACKUP").size(), fs::exists(Backup()) ? 1u : 0u)
        << "no second name of the backup is left";
  }
}

// A file system without hard links (FAT, exFAT, some shares) refuses the link that names the
// backup; it is then named by a rename once its name is seen to be free, and the folder is
// patched. Any other failure of the link is a backup that is not sure.
TEST_F(DiscSafetyTest, AFileSystemWithoutHardLinksStillGetsItsBackup) {
  struct Case {
    int error;
    bool patched;
  };
  for (const Case c :
       {Case{EPERM, true}, Case{ENOTSUP, true}, Case{EIO, false}, Case{EMLINK, false}}) {
    SCOPED_TRACE(c.error);
    fs::remove_all(tree / "disc");
    MakeBdmvFolder(tree / "disc", original);
    platform::SetFaultHook([&](IoStep step) {
      // The rename that refuses to replace is not there, so the link is tried.
      if (step == IoStep::kNoReplaceFlag) return EINVAL;
      if (step != IoStep::kLink) return 0;
      // The link ran; undo it, as on a file system that makes none.
      fs::remove(Backup());
      return c.error;
    });
    const auto shown = ModifyTree(tree.Root());
    platform::SetFaultHook(nullptr);

    if (c.patched) {
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Modify 1 file successful"});
      EXPECT_EQ(ReadBytes(Backup()), original);
      EXPECT_NE(ReadBytes(Index()), original);
    } else {
      EXPECT_EQ(shown.Texts(),
                (std::vector<std::string>{Folder("Modify Fail,Can not create backup file"),
                                          "Modify 0 file successful"}));
      EXPECT_EQ(ReadBytes(Index()), original);
    }
    EXPECT_EQ(Names(Bdmv() / "BACKUP").size(), c.patched ? 1u : 0u)
        << "no temporary name of the backup is left";
  }
}

// Quorvel's own temporary files that an interrupted pass left are removed once clearly
// abandoned; nothing else is.
TEST_F(DiscSafetyTest, AbandonedTemporariesAreRemovedAndNothingElse) {
  SKIP_UNLESS_ROOT("give the folder to \"nobody\" and run the pass as that user");
  pid_t gone = getpid() + 100000;
  while (kill(gone, 0) == 0 || errno != ESRCH) ++gone;
  const std::string live = std::to_string(getppid());
  const std::vector<std::string> abandoned = {
      ".index.bdmv.quorvel-" + std::to_string(gone) + "-0",
      ".index.bdmv.quorvel-" + live + "-3",  // made two days ago
  };
  const std::vector<std::string> kept = {
      ".index.bdmv.quorvel-" + live + "-4",  // its process may still be writing it
      ".index.bdmv.quorvel-x-1",
      ".index.bdmv.quorvel-12-",
      "index.bdmv.quorvel-1-1",
      ".notes.quorvel-" + std::to_string(gone),
  };
  for (const fs::path& folder : {Bdmv(), Bdmv() / "BACKUP"}) {
    for (const auto& name : abandoned) WriteBytes(folder / name, {1});
    for (const auto& name : kept) WriteBytes(folder / name, {2});
    const timespec twoDaysAgo{time(nullptr) - 2 * 24 * 60 * 60, 0};
    const timespec times[2] = {twoDaysAgo, twoDaysAgo};
    ASSERT_EQ(utimensat(AT_FDCWD, (folder / abandoned[1]).c_str(), times, 0), 0);
  }

  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{"Modify 1 file successful"});
  std::vector<std::string> expected = kept;
  expected.push_back("index.bdmv");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(Bdmv() / "BACKUP"), expected);
  expected.push_back("BACKUP");
  expected.push_back("MovieObject.bdmv");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Names(Bdmv()), expected);

  // Another user's live process: to "nobody", asking after root's init is refused, not answered
  // with "no such process".
  ASSERT_EQ(StatOf("/proc/1").st_uid, 0u);
  const std::string initsOwn = ".index.bdmv.quorvel-1-0";
  for (const fs::path& folder : {Bdmv(), Bdmv() / "BACKUP"}) WriteBytes(folder / initsOwn, {3});
  for (const auto& entry : fs::recursive_directory_iterator(tree / "disc")) {
    ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0);
  }
  EXPECT_EQ(AsNobody([&] { return ModifyTree(tree.Root()); }),
            std::vector<std::string>{"Modify 1 file successful"});
  EXPECT_TRUE(fs::exists(Bdmv() / initsOwn));
  EXPECT_TRUE(fs::exists(Bdmv() / "BACKUP" / initsOwn));
}

// Beyond the file-size limit a write fails as on a full disk; the process is not killed.
TEST_F(DiscSafetyTest, AFileSizeLimitIsADiskFullNotAKill) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{64 * 1024, 64 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    const auto texts = ModifyTree(tree.Root()).Texts();
    _exit(texts == std::vector<std::string>{Folder("Modify Fail,Can not create backup file"),
                                            "Modify 0 file successful"}
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Names(Bdmv() / "BACKUP"), std::vector<std::string>{}) << "no temporary file left";
}

// A write in place would change the file under every one of its names: an index file with other
// names (a hard-linking copy of a disc, a link outside the named folder) is reported and stays as
// it is everywhere. Where the folder can be given a file of its own, the other names keep theirs.
TEST_F(DiscSafetyTest, AnIndexWithOtherNamesIsNeverWrittenInPlace) {
  SKIP_UNLESS_ROOT("give files to \"nobody\" and run the pass as that user");
  TempTree outside;
  const fs::path copy = tree / "copy" / "BDMV";
  MakeBdmvFolder(tree / "copy", original);
  fs::remove(copy / "index.bdmv");
  fs::create_hard_link(Index(), copy / "index.bdmv");
  fs::create_hard_link(Index(), outside / "index.bdmv");
  ASSERT_EQ(chmod(Index().c_str(), 0666), 0);
  for (const fs::path& bdmv : {Bdmv(), copy}) {
    fs::permissions(bdmv, fs::perms::all);
    ASSERT_EQ(chown((bdmv / "MovieObject.bdmv").c_str(), kNobody, kNobody), 0);
  }
  const auto reported = [](std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end() - 1);
    return texts;
  };
  const std::string hardLinked = "index file has other names (hard links)";

  // Another user's file: only a write in place could change it.
  EXPECT_EQ(
      reported(AsNobody([&] { return ModifyTree(tree.Root()); })),
      (std::vector<std::string>{copy.string() + ": Modify Fail," + hardLinked,
                                Folder("Modify Fail," + hardLinked), "Modify 0 file successful"}));
  for (const fs::path& name : {Index(), copy / "index.bdmv", outside / "index.bdmv"}) {
    EXPECT_EQ(DescribeDifference(original, ReadBytes(name)), "") << name;
  }

  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{"Modify 2 file successful"});
  EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(Index())), "");
  EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(copy / "index.bdmv")), "");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(outside / "index.bdmv")), "");

  fs::create_hard_link(Index(), outside / "patched.bdmv");
  EXPECT_EQ(AsNobody([&] { return RestoreTree(tree.Root()); }),
            (std::vector<std::string>{Folder("Resume fail," + hardLinked),
                                      "Resume  1 files successful"}));
  EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(Index())), "");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(copy / "index.bdmv")), "");
}

// The system drops the set-id bits of a file that someone else writes. A write in place that
// would cost the index file its mode is reported before a byte changes; the owner's own write
// puts the bits back.
TEST_F(DiscSafetyTest, AWriteInPlaceKeepsTheSetIdBitsOrIsNotMade) {
  SKIP_UNLESS_ROOT("give files to \"nobody\" and run the pass as that user");
  struct Case {
    uid_t owner;
    mode_t mode;
    bool written;
  };
  for (const Case& c : {Case{0, 02666, false}, Case{0, 04666, false}, Case{kNobody, 04666, true},
                        Case{kNobody, 02676, true}}) {
    SCOPED_TRACE(std::to_string(c.owner) + " " + std::to_string(c.mode));
    fs::remove_all(tree / "disc");
    MakeBdmvFolder(tree / "disc", original);
    fs::create_directory(Bdmv() / "BACKUP");
    fs::permissions(Bdmv() / "BACKUP", fs::perms::all);
    ASSERT_EQ(chown((Bdmv() / "MovieObject.bdmv").c_str(), kNobody, kNobody), 0);
    // The folder takes no new file from that user: the index file can only be written in place.
    ASSERT_EQ(chown(Index().c_str(), c.owner, c.owner), 0);
    ASSERT_EQ(chmod(Index().c_str(), c.mode), 0);

    const std::string modeText = "index file would lose its set-id bits";
    const std::vector<std::string> modified =
        c.written ? std::vector<std::string>{"Modify 1 file successful"}
                  : std::vector<std::string>{Folder("Modify Fail," + modeText),
                                             "Modify 0 file successful"};
    EXPECT_EQ(AsNobody([&] { return ModifyTree(tree.Root()); }), modified);
    EXPECT_EQ(DescribeDifference(c.written ? PatchedBytes(original, false) : original,
                                 ReadBytes(Index())),
              "");
    EXPECT_EQ(StatOf(Index()).st_mode & 07777, c.mode);

    if (!c.written) ModifyTree(tree.Root());
    const std::vector<std::string> restored =
        c.written ? std::vector<std::string>{"Resume  1 files successful"}
                  : std::vector<std::string>{Folder("Resume fail," + modeText),
                                             "Resume  0 files successful"};
    EXPECT_EQ(AsNobody([&] { return RestoreTree(tree.Root()); }), restored);
    EXPECT_EQ(DescribeDifference(c.written ? original : PatchedBytes(original, false),
                                 ReadBytes(Index())),
              "");
    EXPECT_EQ(StatOf(Index()).st_mode & 07777, c.mode);
  }
}

// A file of the runner's own takes its new content by a rename, and the new file takes the old
// one's mode: a mode the new file is not created with must not make every pass write in place.
TEST_F(DiscSafetyTest, AnOwnIndexIsReplacedByARenameAndKeepsItsMode) {
  for (const mode_t mode : {0640u, 0604u}) {
    SCOPED_TRACE(testing::Message() << "mode " << std::oct << mode);
    fs::remove_all(tree / "disc");
    MakeBdmvFolder(tree / "disc", original);
    ASSERT_EQ(chmod(Index().c_str(), mode), 0);
    for (const bool restore : {false, true}) {
      SCOPED_TRACE(restore ? "Restore" : "Modify");
      const ino_t inode = StatOf(Index()).st_ino;
      const auto shown = restore ? RestoreTree(tree.Root()) : ModifyTree(tree.Root());
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{restore ? "Resume  1 files successful"
                                                                : "Modify 1 file successful"});
      const struct stat status = StatOf(Index());
      EXPECT_NE(status.st_ino, inode) << "written in place";
      EXPECT_EQ(status.st_mode & 07777, mode);
      EXPECT_EQ(DescribeDifference(restore ? original : PatchedBytes(original, false),
                                   ReadBytes(Index())),
                "");
    }
  }
}

// Fails each flush of a pass in turn: the failure is reported, the index file holds its old
// bytes or the whole new ones, a backup is whole, and no temporary file is left. A flush the
// pass no longer makes, or a new one, shifts every later row.
TEST_F(DiscSafetyTest, EveryFlushThatFailsIsReportedAndLeavesWholeFiles) {
  SKIP_UNLESS_ROOT("give the index file to another user");
  using Texts = std::vector<std::string>;
  const Texts noBackup = {Folder("Modify Fail,Can not create backup file"),
                          "Modify 0 file successful"};
  const Texts stopped = {"在存取 一未命名文件 时一个硬件输入/输出错误被报告。"};
  const Texts notRestored = {Folder("Resume fail,Can not copy backup file"),
                             "Resume  0 files successful"};
  // What the index file holds after the failure: its old bytes, the whole new ones, or, written
  // in place, the old bytes followed by the block that no address points at yet.
  enum Left { kOld, kNew, kOldAndBlock };
  struct Flush {
    Texts shown;
    Left index;
  };
  struct Case {
    const char* name;
    bool restore;
    bool inPlace;  // the new file cannot keep the owner
    std::vector<Flush> flushes;
  };
  const std::vector<Case> cases = {
      {"Modify by a rename",
       false,
       false,
       {{noBackup, kOld},   // the backup
        {noBackup, kOld},   // BACKUP, once the backup is renamed
        {stopped, kOld},    // the patched file
        {stopped, kNew}}},  // the folder, once the patched file is renamed
      {"Modify in place",
       false,
       true,
       {{noBackup, kOld},
        {noBackup, kOld},
        {stopped, kOldAndBlock},  // the block, before the address is written
        {stopped, kNew}}},
      {"Restore by a rename", true, false, {{notRestored, kOld}, {notRestored, kNew}}},
      {"Restore in place",
       true,
       true,
       {{notRestored, kOldAndBlock},  // the backup's bytes, before the file is cut to their length
        {notRestored, kNew}}},
  };
  const Bytes patched = PatchedBytes(original, false);
  Bytes originalAndBlock = patched;
  std::fill_n(originalAndBlock.begin() + 12, 4, 0);
  for (const Case& c : cases) {
    for (std::size_t n = 0; n <= c.flushes.size(); ++n) {
      SCOPED_TRACE(std::string(c.name) + ", flush " + std::to_string(n) + " fails");
      fs::remove_all(tree / "disc");
      MakeBdmvFolder(tree / "disc", original);
      // Only another owner's file makes the new file give it back; here that can fail.
      ASSERT_EQ(chown(Index().c_str(), 1234, 5678), 0);
      if (c.restore) {
        ASSERT_EQ(ModifyTree(tree.Root()).Texts(), Texts{"Modify 1 file successful"});
      }
      std::vector<Fault> faults = {{IoStep::kFlush, static_cast<int>(n), EIO}};
      if (c.inPlace) faults.push_back({IoStep::kChown, 0, EPERM});
      const auto shown = [&] {
        FailCalls fail(faults);
        return c.restore ? RestoreTree(tree.Root()) : ModifyTree(tree.Root());
      }();

      const Flush done = {{c.restore ? "Resume  1 files successful" : "Modify 1 file successful"},
                          kNew};
      const Flush& expected = n < c.flushes.size() ? c.flushes[n] : done;
      const Bytes& before = c.restore ? patched : original;
      const Bytes& after = c.restore ? original : patched;
      EXPECT_EQ(shown.Texts(), expected.shown);
      const Bytes& left = expected.index == kOld   ? before
                          : expected.index == kNew ? after
                                                   : originalAndBlock;
      EXPECT_EQ(DescribeDifference(left, ReadBytes(Index())), "");
      if (fs::exists(Backup())) {
        EXPECT_EQ(DescribeDifference(original, ReadBytes(Backup())), "");
      }
      for (const fs::path& folder : {Bdmv(), Bdmv() / "BACKUP"}) {
        for (const auto& name : fs::exists(folder) ? Names(folder) : Texts{}) {
          EXPECT_NE(name[0], '.') << "a temporary file is left: " << name;
        }
      }
      // The same pass, run again, finishes the job from whatever state the failure left.
      EXPECT_EQ((c.restore ? RestoreTree(tree.Root()) : ModifyTree(tree.Root())).Texts(),
                done.shown);
      EXPECT_EQ(DescribeDifference(after, ReadBytes(Index())), "") << "after a second run";
    }
  }
}

}  // namespace
