#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include <gtest/gtest.h>

#include "pass/passes.h"
#include "platform/fault_injection.h"
#include "tests/support/pass_runner.h"
#include "tests/support/privileges.h"
#include "tests/support/temp_tree.h"

namespace fs = std::filesystem;
using namespace testing_support;
using platform::IoStep;

namespace {

const std::string kModifiedOne = "Modify 1 file successful";
const std::string kRestoredOne = "Resume  1 files successful";

// Writes in place, as the new file cannot be given the index file's owner; records every step,
// and fails the one numbered `failAt` (from 0) with `fault`, after it ran.
class InPlace {
 public:
  explicit InPlace(int failAt = -1, int fault = 0, std::function<void()> atEveryStep = {}) {
    platform::SetFaultHook([=, this](IoStep step) {
      if (atEveryStep) atEveryStep();
      const int number = static_cast<int>(steps.size());
      steps.push_back(step);
      if (step == IoStep::kChown) return EPERM;
      return number == failAt ? fault : 0;
    });
  }
  ~InPlace() { platform::SetFaultHook(nullptr); }

  std::vector<IoStep> steps;
};

// The address at offset 12 of an index file's bytes.
std::uint32_t AddressOf(const Bytes& bytes) {
  std::uint32_t address = 0;
  for (std::size_t i = 12; i < 16 && i < bytes.size(); ++i) address = (address << 8) | bytes[i];
  return address;
}

class InterruptedPatchTest : public ::testing::Test {
 protected:
  fs::path Bdmv() const { return tree / "disc" / "BDMV"; }
  fs::path Index() const { return Bdmv() / "index.bdmv"; }
  fs::path Backup() const { return Bdmv() / "BACKUP" / "index.bdmv"; }

  // A disc folder whose index holds `index`, and whose backup holds `backup` unless empty.
  void MakeFolder(const Bytes& index, const Bytes& backup) {
    fs::remove_all(tree / "disc");
    MakeBdmvFolder(tree / "disc", index);
    if (!backup.empty()) WriteBytes(Backup(), backup);
  }

  // The index file belongs to someone else: the new file could not be given its owner, so it is
  // written where it stands.
  void GiveIndexAway() { ASSERT_EQ(chown(Index().c_str(), 1234, 5678), 0); }

  // What scan says of the folder's patch: "yes", "no" or "unfinished".
  std::string Scanned() {
    RecordingFrontEnd frontEnd;
    std::string said;
    RunScan(tree.Root().string(), frontEnd, [&](const std::string&, const BdmvFolderState& state) {
      said = state.unfinished ? "unfinished" : state.patched ? "yes" : "no";
    });
    return said;
  }

  TempTree tree;
};

// An interruption can leave each byte a patch changes with its old or its new value, and the
// block cut anywhere, whether the address or the block was written first. The next Modify writes
// exactly what an uninterrupted one does, and Restore exactly the original.
TEST_F(InterruptedPatchTest, EveryStateBetweenABackupAndItsPatchIsFinished) {
  SKIP_UNLESS_ROOT("give the index file to another user");
  std::mt19937 random(20261207);
  for (int round = 0; round < 120; ++round) {
    const std::size_t size = 45 + random() % 400;
    const Bytes original = IndexBytes(size, static_cast<std::uint8_t>(0x20 + random() % 0x60));
    const Bytes whole = PatchedBytes(original, random() % 2 == 1);
    Bytes state = original;
    bool addressOld = true, addressNew = true, flagsOld = true;
    for (std::size_t at : {12, 13, 14, 15, 44}) {
      if (random() % 2 == 0) state[at] = whole[at];
      if (at == 44)
        flagsOld = state[at] == original[at];
      else
        addressOld = addressOld && state[at] == original[at];
      if (at != 44) addressNew = addressNew && state[at] == whole[at];
    }
    const std::size_t tail = random() % 25;
    state.insert(state.end(), whole.begin() + static_cast<std::ptrdiff_t>(size),
                 whole.begin() + static_cast<std::ptrdiff_t>(size + tail));
    const bool inPlace = random() % 2 == 1;
    const bool convert = random() % 2 == 1;
    SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(size) + " bytes, " +
                 std::to_string(tail) + " of the block" + (inPlace ? ", in place" : ""));

    MakeFolder(state, original);
    const bool isOriginal = addressOld && flagsOld && tail == 0;
    const bool isWhole = addressNew && tail == 24;
    EXPECT_EQ(Scanned(), isOriginal ? "no" : isWhole ? "yes" : "unfinished");
    if (inPlace) GiveIndexAway();
    {
      InPlace plan;
      const auto shown = ModifyTree(tree.Root(), convert);
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{kModifiedOne});
      ASSERT_EQ(shown.outcomes.size(), 1u);
      EXPECT_EQ(shown.outcomes[0].kind,
                isWhole ? FolderOutcome::Kind::kAlreadyPatched : FolderOutcome::Kind::kPatched);
    }
    EXPECT_EQ(
        DescribeDifference(isWhole ? state : PatchedBytes(original, convert), ReadBytes(Index())),
        "");
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Backup())), "");
    EXPECT_EQ(Scanned(), "yes");

    MakeFolder(state, original);
    if (inPlace) GiveIndexAway();
    {
      InPlace plan;
      EXPECT_EQ(RestoreTree(tree.Root()).Texts(), std::vector<std::string>{kRestoredOne});
    }
    EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
  }
}

// Without a backup that tells what the file was, a half patch cannot be finished: it is reported
// and left alone, and no backup is made of it. Extension data that lies inside the file is
// counted as the index table's format allows, patched or not by Quorvel.
TEST_F(InterruptedPatchTest, WhatNoBackupCanFinishIsReportedAndNothingIsBackedUpButOriginals) {
  const Bytes original = IndexBytes(300, 0x60);
  Bytes addressAtEnd = original;
  for (int i = 0; i < 4; ++i) addressAtEnd[12 + i] = PatchedBytes(original, false)[12 + i];
  Bytes addressPastEnd = IndexBytes(300, 0x60, 900);
  Bytes blockWithoutAddress = PatchedBytes(original, false);
  for (int i = 0; i < 4; ++i) blockWithoutAddress[12 + i] = 0;
  const Bytes otherTable = IndexBytes(200, 0x10);
  Bytes patchedBackup = PatchedBytes(otherTable, false);
  const std::string halfPatched = "Modify Fail,index file is half patched and no backup matches it";
  struct Case {
    const char* name;
    Bytes index;
    Bytes backup;        // none when empty
    std::string modify;  // the folder's message, or empty when it is counted and left alone
    std::string scan;
  };
  const std::vector<Case> cases = {
      {"address at the end, no backup", addressAtEnd, {}, halfPatched, "unfinished"},
      {"address past the end, no backup", addressPastEnd, {}, halfPatched, "unfinished"},
      {"block without its address, no backup", blockWithoutAddress, {}, halfPatched, "unfinished"},
      {"address at the end, the backup another file's", addressAtEnd, otherTable, halfPatched,
       "unfinished"},
      {"extension data inside the file", IndexBytes(300, 0x60, 120), {}, "", "yes"},
      {"the whole patch, no backup", PatchedBytes(original, true), {}, "", "yes"},
      {"a patched backup", original, patchedBackup, "Modify Fail,backup file is already patched",
       "no"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeFolder(c.index, c.backup);
    EXPECT_EQ(Scanned(), c.scan);
    const auto shown = ModifyTree(tree.Root(), true);
    if (c.modify.empty()) {
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{kModifiedOne});
    } else {
      EXPECT_EQ(shown.Texts(), (std::vector<std::string>{Bdmv().string() + ": " + c.modify,
                                                         "Modify 0 file successful"}));
    }
    EXPECT_EQ(DescribeDifference(c.index, ReadBytes(Index())), "");
    if (c.backup.empty()) {
      EXPECT_FALSE(fs::exists(Backup())) << "no backup of a file that is not an original";
    } else {
      EXPECT_EQ(DescribeDifference(c.backup, ReadBytes(Backup())), "");
    }
  }

  // Put back, a patched backup would undo nothing.
  MakeFolder(PatchedBytes(original, false), patchedBackup);
  EXPECT_EQ(
      RestoreTree(tree.Root()).Texts(),
      (std::vector<std::string>{Bdmv().string() + ": Resume fail,backup file is already patched",
                                "Resume  0 files successful"}));
  EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(Index())), "");
}

// Written in place, the block goes first and the address after it, with a flush between: at no
// step does the file show an address without its block. Whatever step fails, the next Modify
// finishes the file to the whole patch, and Restore to the original.
TEST_F(InterruptedPatchTest, AWriteInPlaceStoppedAtAnyStepIsFinishedByTheNextPass) {
  SKIP_UNLESS_ROOT("give the index file to another user");
  // Across a page, so that the block takes a new one.
  const Bytes original = IndexBytes(4090, 0x60);
  const Bytes whole = PatchedBytes(original, true);
  const auto addressWithoutBlock = [&] {
    const Bytes bytes = ReadBytes(Index());
    const std::uint32_t address = AddressOf(bytes);
    if (address == 0) return false;
    return bytes.size() != whole.size() ||
           !std::equal(bytes.begin() + address, bytes.end(), whole.begin() + address);
  };

  for (const bool restore : {false, true}) {
    SCOPED_TRACE(restore ? "Restore" : "Modify");
    const auto prepare = [&] {
      MakeFolder(restore ? whole : original, restore ? original : Bytes{});
      GiveIndexAway();
    };
    prepare();
    std::vector<IoStep> steps;
    {
      bool seenWithoutBlock = false;
      InPlace plan(-1, 0, [&] { seenWithoutBlock = seenWithoutBlock || addressWithoutBlock(); });
      const auto shown = restore ? RestoreTree(tree.Root()) : ModifyTree(tree.Root(), true);
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{restore ? kRestoredOne : kModifiedOne});
      EXPECT_FALSE(seenWithoutBlock);
      steps = plan.steps;
    }
    std::vector<IoStep> inPlaceSteps(std::find(steps.begin(), steps.end(), IoStep::kChown),
                                     steps.end());
    std::erase_if(inPlaceSteps, [](IoStep step) { return step == IoStep::kRead; });
    // The new file that could not take the owner is given up; then the writes, each part
    // flushed before the next.
    EXPECT_EQ(inPlaceSteps, (std::vector<IoStep>{IoStep::kChown, IoStep::kWrite, IoStep::kFlush,
                                                 IoStep::kWrite, IoStep::kFlush}));

    for (int failAt = 0; failAt < static_cast<int>(steps.size()); ++failAt) {
      for (const int fault : {EIO, ENOSPC}) {
        SCOPED_TRACE("step " + std::to_string(failAt) + " fails with " + std::to_string(fault));
        prepare();
        {
          InPlace plan(failAt, fault);
          restore ? RestoreTree(tree.Root()) : ModifyTree(tree.Root(), true);
        }
        EXPECT_FALSE(addressWithoutBlock());
        {
          InPlace plan;
          EXPECT_EQ(ModifyTree(tree.Root(), true).Texts(), std::vector<std::string>{kModifiedOne});
        }
        EXPECT_EQ(DescribeDifference(whole, ReadBytes(Index())), "");
        {
          InPlace plan;
          EXPECT_EQ(RestoreTree(tree.Root()).Texts(), std::vector<std::string>{kRestoredOne});
        }
        EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
      }
    }
  }
}

// Beyond the file-size limit the block cannot be written: nothing of the patch is, and the next
// Modify without the limit writes it whole. The folder takes no new file, so the index file is
// written in place.
TEST_F(InterruptedPatchTest, AFileSizeLimitLeavesNoAddressWithoutItsBlock) {
  const Bytes original = IndexBytes(132, 0x60);
  MakeFolder(original, {});
  const auto noNewIndexFile = [creates = 0](IoStep step) mutable {
    // The first file created is the backup's.
    return step == IoStep::kCreate && creates++ == 1 ? EACCES : 0;
  };
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::SetFaultHook(noNewIndexFile);
    const rlimit limit{132, 132};
    setrlimit(RLIMIT_FSIZE, &limit);
    const auto texts = ModifyTree(tree.Root()).Texts();
    _exit(texts == std::vector<std::string>{"在存取 " + Index().string() + " 时磁盘已满。"} ? 0
                                                                                            : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the full-disk error ends the pass";
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
  EXPECT_EQ(Scanned(), "no");

  platform::SetFaultHook(noNewIndexFile);
  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{kModifiedOne});
  platform::SetFaultHook(nullptr);
  EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(Index())), "");
}

}  // namespace
