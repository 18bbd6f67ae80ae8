#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "bdmv/bdmv_folder_state.h"
#include "bdmv/index_table.h"
#include "pass/passes.h"
#include "platform/fault_injection.h"
#include "tests/support/pass_runner.h"
#include "tests/support/platform_build.h"
#include "tests/support/system_errors.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;
using platform::IoStep;

namespace {

const char* StepName(IoStep step) {
  static const char* const kNames[] = {"read",   "create", "write",           "flush",
                                       "chown",  "rename", "no-replace flag", "link",
                                       "unlink", "time",   "chmod",           "remove"};
  return kNames[static_cast<int>(step)];
}

// Fails the n-th step (counting from 0) with `fault`; counts every step it sees.
class FaultPlan {
 public:
  FaultPlan(int failAt, int fault) {
    platform::SetFaultHook([this, failAt, fault](IoStep step) {
      steps.push_back(step);
      return static_cast<int>(steps.size()) - 1 == failAt ? fault : 0;
    });
  }
  ~FaultPlan() { platform::SetFaultHook(nullptr); }

  std::vector<IoStep> steps;
};

// What the user is shown beside a message for a failure the system reported as `fault`.
std::string Description(int fault) {
  return std::system_category().message(fault);
}

Bytes Patched(const Bytes& bytes) {
  return PatchedBytes(bytes, true);
}

// No temporary file may stay behind, whatever failed.
void ExpectNoTemporaryFiles(const fs::path& bdmv) {
  for (const auto& entry : fs::recursive_directory_iterator(bdmv)) {
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
  }
}

class FaultInjectionTest : public ::testing::Test {
 protected:
  // A large index file, so that copies take several writes.
  FaultInjectionTest() : original(IndexBytes(150 * 1024, 0x60)) {}

  fs::path Bdmv() const { return tree / "disc" / "BDMV"; }
  fs::path Index() const { return Bdmv() / "index.bdmv"; }
  fs::path Backup() const { return Bdmv() / "BACKUP" / "index.bdmv"; }

  void Fresh() {
    fs::remove_all(tree / "disc");
    MakeBdmvFolder(tree / "disc", original);
  }

  // The index file holds its original bytes or the whole patch; a backup, if any, is whole. A
  // kill leaves its temporary file behind, hidden; any other failure removes it.
  void ExpectWholeFiles(bool killed) {
    const Bytes index = ReadBytes(Index());
    if (index != Patched(original)) {
      EXPECT_EQ(DescribeDifference(original, index), "") << "the index file is neither old nor new";
    }
    if (fs::exists(Backup())) {
      EXPECT_EQ(DescribeDifference(original, ReadBytes(Backup())), "");
    }
    if (!killed) ExpectNoTemporaryFiles(Bdmv());
  }

  std::vector<IoStep> ModifySteps() {
    Fresh();
    FaultPlan plan(-1, 0);
    ModifyTree(tree.Root(), true);
    return plan.steps;
  }

  TempTree tree;
  Bytes original;
};

TEST_F(FaultInjectionTest, EveryFailedStepOfAModifyLeavesWholeFiles) {
  const std::vector<IoStep> steps = ModifySteps();
  // The backup is flushed before it is renamed and its folder after; so is the patched index,
  // and the movie-object file's time is set before the index file takes its new content. Without
  // a rename that refuses to replace (plain POSIX), the backup takes its name by a link.
  std::vector<IoStep> order;
  for (IoStep step : steps) {
    if (step == IoStep::kFlush || step == IoStep::kRename || step == IoStep::kLink ||
        step == IoStep::kTime)
      order.push_back(step);
  }
  const IoStep backupNamed = kPlainPosix ? IoStep::kLink : IoStep::kRename;
  EXPECT_EQ(order, (std::vector<IoStep>{IoStep::kFlush, backupNamed, IoStep::kFlush, IoStep::kTime,
                                        IoStep::kFlush, IoStep::kRename, IoStep::kFlush}));
  for (int failAt = 0; failAt < static_cast<int>(steps.size()); ++failAt) {
    const IoStep step = steps[failAt];
    for (int fault : {kHardwareError, kDiskFullError}) {
      Fresh();
      FaultPlan plan(failAt, fault);
      const auto shown = ModifyTree(tree.Root(), true);
      SCOPED_TRACE(std::string(StepName(step)) + " #" + std::to_string(failAt) + " fails with " +
                   std::to_string(fault));

      ExpectWholeFiles(false);
      ASSERT_FALSE(shown.messages.empty());
      if (step == IoStep::kNoReplaceFlag) {
        // Without the flag the backup is published by a second name, and the first removed.
        EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Modify 1 file successful"});
        EXPECT_EQ(ReadBytes(Index()), Patched(original));
      } else if (shown.messages[0].kind == PassMessage::Kind::kFolder) {
        EXPECT_EQ(shown.Texts(), (std::vector<std::string>{
                                     Bdmv().string() + ": Modify Fail,Can not create backup file",
                                     "Modify 0 file successful"}));
        EXPECT_EQ(shown.messages[0].cause, Description(fault)) << "the failed call's own cause";
        EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "")
            << "without a sure backup the index file is not touched";
      } else {
        ASSERT_EQ(shown.messages.size(), 1u);
        EXPECT_EQ(shown.messages[0].kind, PassMessage::Kind::kFileError);
        EXPECT_EQ(shown.messages[0].cause, Description(fault));
        if (step == IoStep::kWrite) {
          const char* cause = fault == kHardwareError ? "在存取 %s 时一个硬件输入/输出错误被报告。"
                                                      : "在存取 %s 时磁盘已满。";
          char expected[512];
          std::snprintf(expected, sizeof expected, cause, Index().string().c_str());
          EXPECT_EQ(shown.messages[0].text, expected) << "a failed write names the index file";
        }
      }
      platform::SetFaultHook(nullptr);
      // Nothing is lost: a later run finishes the job.
      EXPECT_EQ(ModifyTree(tree.Root(), true).Texts(),
                std::vector<std::string>{"Modify 1 file successful"});
      EXPECT_EQ(ReadBytes(Index()), Patched(original));
      EXPECT_EQ(DescribeDifference(original, ReadBytes(Backup())), "");
    }
  }
}

// A killed process is made with fork.
#ifndef _WIN32
TEST_F(FaultInjectionTest, AKillAtAnyStepOfAModifyLeavesWholeFiles) {
  const int steps = static_cast<int>(ModifySteps().size());
  for (int killAt = 0; killAt <= steps; ++killAt) {
    SCOPED_TRACE("killed before step #" + std::to_string(killAt));
    Fresh();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int seen = 0;
      platform::SetFaultHook([&](IoStep) {
        if (seen++ == killAt) _exit(9);
        return 0;
      });
      ModifyTree(tree.Root(), true);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), killAt < steps ? 9 : 0);
    ExpectWholeFiles(true);
    if (killAt == steps) {
      EXPECT_EQ(ReadBytes(Index()), Patched(original));
    }
  }
}
#endif

TEST_F(FaultInjectionTest, EveryFailedStepOfARestoreLeavesWholeFiles) {
  Fresh();
  ModifyTree(tree.Root(), true);
  const Bytes patched = ReadBytes(Index());
  ASSERT_EQ(patched, Patched(original));
  std::vector<IoStep> steps;
  {
    FaultPlan plan(-1, 0);
    RestoreTree(tree.Root());
    steps = plan.steps;
  }
  ASSERT_GE(steps.size(), 4u);
  for (int failAt = 0; failAt < static_cast<int>(steps.size()); ++failAt) {
    const IoStep step = steps[failAt];
    for (int fault : {kHardwareError, kDiskFullError}) {
      WriteBytes(Index(), patched);
      FaultPlan plan(failAt, fault);
      const auto shown = RestoreTree(tree.Root());
      SCOPED_TRACE(std::string(StepName(step)) + " #" + std::to_string(failAt));

      const Bytes index = ReadBytes(Index());
      if (index != original) {
        EXPECT_EQ(DescribeDifference(patched, index), "");
      }
      EXPECT_EQ(DescribeDifference(original, ReadBytes(Backup())), "");
      ExpectNoTemporaryFiles(Bdmv());
      EXPECT_EQ(shown.Texts(), (std::vector<std::string>{
                                   Bdmv().string() + ": Resume fail,Can not copy backup file",
                                   "Resume  0 files successful"}));
      EXPECT_EQ(shown.messages[0].cause, Description(fault)) << "the failed call's own cause";
    }
  }
}

// A read that fails while a scan looks at an index file makes the folder one that could not be
// read, with the failed read's own cause.
TEST_F(FaultInjectionTest, AScanTellsWhyAnIndexFileCouldNotBeRead) {
  Fresh();
  FaultPlan plan(0, kHardwareError);
  RecordingFrontEnd scanned;
  std::vector<std::string> reported;
  RunScan(tree.Root().string(), scanned,
          [&](const std::string& path, const BdmvFolderState& state) {
            reported.push_back(path);
            EXPECT_FALSE(state.patched) << "nothing read before the failure is told";
          });

  ASSERT_FALSE(plan.steps.empty());
  EXPECT_EQ(plan.steps[0], IoStep::kRead);
  EXPECT_EQ(reported, std::vector<std::string>{Bdmv().string()});
  EXPECT_EQ(scanned.unreadable, (std::vector<std::pair<std::string, std::string>>{
                                    {Bdmv().string(), Description(kHardwareError)}}));
}

}  // namespace
