#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "bdmv/folder_look.h"
#include "bdmv/restore_bdmv_folder.h"
#include "pass/pass_state.h"
#include "tests/support/pass_runner.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string kRestoredOne = "Resume  1 files successful";

class RestoreTest : public ::testing::Test {
 protected:
  fs::path Bdmv() const { return tree / "Movie" / "BDMV"; }
  fs::path Index() const { return Bdmv() / "index.bdmv"; }

  TempTree tree;
};

TEST_F(RestoreTest, GivesBackTheOriginalBytesEveryTime) {
  const Bytes original = IndexBytes(150, 0x60);
  MakeBdmvFolder(tree / "Movie", original);
  ASSERT_EQ(chmod(Index().c_str(), 0604), 0);
  ModifyTree(tree.Root(), true);
  struct stat modified {};
  ASSERT_EQ(stat((Bdmv() / "MovieObject.bdmv").c_str(), &modified), 0);

  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    const auto shown = RestoreTree(tree.Root());

    EXPECT_EQ(shown.Texts(), std::vector<std::string>{kRestoredOne});
    EXPECT_EQ(g_passCount, 1);
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Bdmv() / "BACKUP" / "index.bdmv")), "");
    struct stat status {};
    ASSERT_EQ(stat(Index().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u) << "the replaced file's permission bits are kept";
    ASSERT_EQ(stat((Bdmv() / "MovieObject.bdmv").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtim.tv_sec, modified.st_mtim.tv_sec) << "the movie object is not touched";
  }
  EXPECT_EQ(Names(Bdmv()), (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));
}

// What a Restore reads ahead of the folder's turn is checked there: the file the name leads to
// then is the one replaced, as read-only as it then is, and nothing stays held.
TEST_F(RestoreTest, ALookReadAheadIsCheckedAtTheTurn) {
  const Bytes original = IndexBytes(150, 0x60);
  struct Case {
    const char* name;
    std::function<void()> meanwhile;
    const char* message;  // none for a restored file
  };
  const std::vector<Case> cases = {
      {"nothing meanwhile", [] {}, nullptr},
      {"replaced meanwhile",
       [&] {
         WriteBytes(Bdmv() / "index.new", IndexBytes(90, 0));
         fs::rename(Bdmv() / "index.new", Index());
       },
       nullptr},
      {"made read-only meanwhile", [&] { ASSERT_EQ(chmod(Index().c_str(), 0444), 0); },
       "Resume fail,Please check if BDMV is ReadOnly"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(tree / "Movie");
    MakeBdmvFolder(tree / "Movie", original);
    ModifyTree(tree.Root());
    const platform::Directory folder = platform::Directory::OpenFolder(Bdmv().string());
    FolderLook look = LookAtFolder(folder, LookDepth::kRestore);
    ASSERT_TRUE(look.index && look.backup && look.backup->file) << "both files opened ahead";
    c.meanwhile();
    const Bytes before = ReadBytes(Index());
    const FolderOutcome outcome = RestoreBdmvFolder(folder, Bdmv().string(), &look);
    EXPECT_EQ(outcome.message, c.message ? c.message : "");
    EXPECT_EQ(DescribeDifference(c.message ? before : original, ReadBytes(Index())), "");
    EXPECT_NO_THROW(platform::File::OpenExclusive(folder, "index.bdmv")) << "nothing held";
  }
}

TEST_F(RestoreTest, TheBackupDecidesWhichIndexFileIsWritten) {
  // A folder with index.bdmv and only BACKUP/INDEX.BDM ends up with both index files.
  MakeBdmvFolder(tree / "Movie", IndexBytes(64, 0));
  fs::create_directories(Bdmv() / "backup");
  const Bytes saved = IndexBytes(80, 0x20);
  WriteBytes(Bdmv() / "backup" / "INDEX.BDM", saved);

  EXPECT_EQ(RestoreTree(tree.Root()).Texts(), std::vector<std::string>{kRestoredOne});
  EXPECT_EQ(DescribeDifference(saved, ReadBytes(Bdmv() / "INDEX.BDM")), "");
  EXPECT_EQ(ReadBytes(Index()).size(), 64u);

  // An existing index file in another case is replaced, not doubled.
  fs::remove(Bdmv() / "INDEX.BDM");
  fs::rename(Index(), Bdmv() / "Index.Bdmv");
  WriteBytes(Bdmv() / "backup" / "index.bdmv", saved);
  EXPECT_EQ(RestoreTree(tree.Root()).Texts(), std::vector<std::string>{kRestoredOne});
  EXPECT_EQ(Names(Bdmv()), (std::vector<std::string>{"Index.Bdmv", "MovieObject.bdmv", "backup"}));
  EXPECT_EQ(DescribeDifference(saved, ReadBytes(Bdmv() / "Index.Bdmv")), "");
}

TEST_F(RestoreTest, ReportsFoldersItCannotRestore) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& bdmv)> prepare;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"never modified", [](const fs::path&) {}, "Resume fail,no used backup file is exist"},
      {"no index file",
       [](const fs::path& bdmv) {
         fs::create_directories(bdmv / "BACKUP");
         WriteBytes(bdmv / "BACKUP" / "index.bdmv", IndexBytes(64, 0));
         fs::remove(bdmv / "index.bdmv");
       },
       "modify Fail,Please check if path is correct"},
      {"read-only index",
       [](const fs::path& bdmv) {
         fs::create_directories(bdmv / "BACKUP");
         WriteBytes(bdmv / "BACKUP" / "index.bdmv", IndexBytes(64, 0));
         SetReadOnly(bdmv / "index.bdmv", true);
       },
       "Resume fail,Please check if BDMV is ReadOnly"},
      {"backup is a link",
       [](const fs::path& bdmv) {
         fs::create_directories(bdmv / "BACKUP");
         WriteBytes(bdmv / "elsewhere.bdmv", IndexBytes(64, 0));
         fs::create_symlink("../elsewhere.bdmv", bdmv / "BACKUP" / "index.bdmv");
       },
       "Resume fail,no used backup file is exist"},
      // Opened without waiting and refused: read, it would empty the index file.
      {"backup is a FIFO",
       [](const fs::path& bdmv) {
         fs::create_directories(bdmv / "BACKUP");
         ASSERT_EQ(mkfifo((bdmv / "BACKUP" / "index.bdmv").c_str(), 0644), 0);
       },
       "Resume fail,Can not copy backup file"},
      {"index name taken by a folder",
       [](const fs::path& bdmv) {
         fs::create_directories(bdmv / "BACKUP");
         WriteBytes(bdmv / "BACKUP" / "INDEX.BDM", IndexBytes(64, 0));
         fs::create_directories(bdmv / "INDEX.BDM");
       },
       "Resume fail,Can not copy backup file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeBdmvFolder(tree / "Movie", IndexBytes(100, 0x60));
    c.prepare(Bdmv());
    const Bytes before = fs::is_regular_file(Index()) ? ReadBytes(Index()) : Bytes{};

    const auto shown = RestoreTree(tree.Root());

    EXPECT_EQ(shown.Texts(), (std::vector<std::string>{Bdmv().string() + ": " + c.message,
                                                       "Resume  0 files successful"}));
    if (!before.empty()) {
      EXPECT_EQ(DescribeDifference(before, ReadBytes(Index())), "");
    }
    fs::remove_all(tree / "Movie");
  }
}

}  // namespace
