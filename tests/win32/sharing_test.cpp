// Another program holding a disc file open while a pass changes it: one that reads it and lets it
// be written does not stand in the way; any other ends the pass.
#include <windows.h>

#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "disc_image/image_messages.h"
#include "pass/pass_guard.h"
#include "pass/passes.h"
#include "platform/fault_injection.h"
#include "platform/file.h"
#include "platform/utf16_win32.h"
#include "tests/support/pass_runner.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// A quorvel_held_file process holding a file open until this object goes.
class HeldFile {
 public:
  // Under a loaded Wine a process now and then starts without a word: it is started again.
  HeldFile(const fs::path& file, const std::wstring& access, const std::wstring& share) {
    for (int attempt = 0; attempt < 3 && m_status.empty(); ++attempt) {
      Stop();
      Start(file, access, share);
    }
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  ~HeldFile() { Stop(); }

  // "open", or "error N" when the holder could not open the file.
  const std::string& Status() const { return m_status; }

 private:
  void Start(const fs::path& file, const std::wstring& access, const std::wstring& share) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childStdin = nullptr;
    HANDLE childStdout = nullptr;
    if (!CreatePipe(&childStdin, &m_stdin, &inherit, 0) ||
        !CreatePipe(&m_stdout, &childStdout, &inherit, 0)) {
      return;
    }
    SetHandleInformation(m_stdin, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(m_stdout, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childStdin;
    startup.hStdOutput = childStdout;
    startup.hStdError = childStdout;
    std::wstring commandLine = L"\"" + platform::Widen(QUORVEL_HELD_FILE_PATH) + L"\" \"" +
                               file.wstring() + L"\" " + access + L" " + share;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &process)) {
      CloseHandle(process.hThread);
      m_process = process.hProcess;
    }
    CloseHandle(childStdin);
    CloseHandle(childStdout);
    char c = 0;
    DWORD count = 0;
    while (m_process && ReadFile(m_stdout, &c, 1, &count, nullptr) && count == 1 && c != '\n') {
      if (c != '\r') m_status += c;
    }
  }

  void Stop() {
    if (m_stdin) CloseHandle(m_stdin);  // the holder's stdin ends, and it lets go
    if (m_process) {
      WaitForSingleObject(m_process, 10'000);
      CloseHandle(m_process);
    }
    if (m_stdout) CloseHandle(m_stdout);
    m_stdin = m_stdout = m_process = nullptr;
  }

  HANDLE m_stdin = nullptr;
  HANDLE m_stdout = nullptr;
  HANDLE m_process = nullptr;
  std::string m_status;
};

std::uint64_t LastWriteTicks(const fs::path& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(file.wstring().c_str(), GetFileExInfoStandard, &data);
  return (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

// Another program's hold on a file: its access and sharing as quorvel_held_file takes them, and
// whether it stops a pass.
struct Holder {
  const wchar_t* access;
  const wchar_t* share;
  bool blocks;
};

TEST(WindowsSharingTest, OnlyAReaderThatLetsTheMovieObjectBeWrittenLetsThePassThrough) {
  const std::vector<Holder> cases = {
      {L"read", L"rw", false},  // a player or an indexer
      {L"read", L"rwd", false},
      {L"read", L"r", true},    // a reader that will not let it be written
      {L"write", L"rw", true},  // a writer
  };
  const FILETIME old{0, 0x01C00000};  // in 1998
  const std::uint64_t oldTicks = (static_cast<std::uint64_t>(old.dwHighDateTime) << 32);
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::Narrow(std::wstring(c.access) + L" sharing " + c.share));
    TempTree tree;
    const Bytes original = IndexBytes(64, 0x60);
    MakeBdmvFolder(tree / "Movie", original);
    const fs::path movie = tree / "Movie" / "BDMV" / "MovieObject.bdmv";
    HANDLE file = CreateFileW(movie.wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &old));
    CloseHandle(file);

    HeldFile holder(movie, c.access, c.share);
    ASSERT_EQ(holder.Status(), "open");
    const auto shown = ModifyTree(tree.Root());

    const Bytes index = ReadBytes(tree / "Movie" / "BDMV" / "index.bdmv");
    if (c.blocks) {
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{"在存取 一未命名文件 时发生共享违例。"});
      EXPECT_EQ(DescribeDifference(original, index), "") << "stopped before the patch";
      EXPECT_EQ(LastWriteTicks(movie), oldTicks);
    } else {
      EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Modify 1 file successful"});
      EXPECT_EQ(index.size(), 88u);
      EXPECT_GT(LastWriteTicks(movie), oldTicks);
    }
  }
}

// An index file that another program holds without letting it be renamed over: the rename is
// tried for about a second, then the file is written in place; only a holder that will not let
// it be written either stops the folder.
TEST(WindowsSharingTest, AnIndexFileHeldOpenIsWrittenInPlace) {
  struct Case {
    const wchar_t* access;
    const wchar_t* share;
  };
  for (const auto& c : {Case{L"attributes", L"rw"}, Case{L"attributes", L"-"}}) {
    SCOPED_TRACE(platform::Narrow(std::wstring(c.access) + L" sharing " + c.share));
    TempTree tree;
    const Bytes original = IndexBytes(64, 0x60);
    MakeBdmvFolder(tree / "Movie", original);
    const fs::path index = tree / "Movie" / "BDMV" / "index.bdmv";

    HeldFile holder(index, c.access, c.share);
    ASSERT_EQ(holder.Status(), "open");
    EXPECT_EQ(ModifyTree(tree.Root()).Texts(),
              std::vector<std::string>{"Modify 1 file successful"});
    EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(index)), "");
    EXPECT_EQ(RestoreTree(tree.Root()).Texts(),
              std::vector<std::string>{"Resume  1 files successful"});
    EXPECT_EQ(DescribeDifference(original, ReadBytes(index)), "");
    EXPECT_EQ(Names(tree / "Movie" / "BDMV"),
              (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));
  }
}

// A program that reads the index file (a player, a media server, an indexer) and lets it be
// written does not stop a pass: the file is written in place once the rename has waited for it.
// One that will not let it be written, or writes it, ends the pass with the sharing-violation
// box, the file as it was, and the folders after it not visited.
TEST(WindowsSharingTest, AReaderOfTheIndexFileStopsThePassOnlyIfItWillNotLetItBeWritten) {
  const std::vector<Holder> cases = {
      {L"read", L"rw", false},   // a player
      {L"read", L"rwd", false},  // a media server
      {L"read", L"r", true},     // a reader that will not let it be written
      {L"read", L"-", true},     // one that lets no one in
      {L"write", L"rw", true},   // a writer
  };
  const std::vector<std::string> stopped = {"在存取 一未命名文件 时发生共享违例。"};
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::Narrow(std::wstring(c.access) + L" sharing " + c.share));
    TempTree tree;
    const Bytes original = IndexBytes(64, 0x60);
    MakeBdmvFolder(tree / "Movie", original);
    MakeBdmvFolder(tree / "Movie" / "Later", original);
    const fs::path bdmv = tree / "Movie" / "BDMV";
    const fs::path index = bdmv / "index.bdmv";
    const fs::path later = tree / "Movie" / "Later" / "BDMV" / "index.bdmv";
    const Bytes patched = PatchedBytes(original, false);
    // Runs a pass while the holder has the index file open; the files are read once it is gone.
    const auto whileHeld = [&](const std::function<RecordingFrontEnd()>& pass) {
      HeldFile holder(index, c.access, c.share);
      EXPECT_EQ(holder.Status(), "open");
      return pass().Texts();
    };

    const auto modified = whileHeld([&] { return ModifyTree(tree.Root()); });
    if (c.blocks) {
      EXPECT_EQ(modified, stopped);
      EXPECT_EQ(DescribeDifference(original, ReadBytes(index)), "");
      EXPECT_FALSE(fs::exists(later.parent_path() / "BACKUP")) << "the pass ended there";
      ASSERT_EQ(ModifyTree(tree.Root()).Texts().back(), "Modify 2 file successful");
    } else {
      EXPECT_EQ(modified, std::vector<std::string>{"Modify 2 file successful"});
      EXPECT_EQ(DescribeDifference(patched, ReadBytes(index)), "");
      EXPECT_EQ(DescribeDifference(patched, ReadBytes(later)), "");
    }
    EXPECT_EQ(Names(bdmv), (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));

    const auto restored = whileHeld([&] { return RestoreTree(tree.Root()); });
    if (c.blocks) {
      EXPECT_EQ(restored, stopped);
      EXPECT_EQ(DescribeDifference(patched, ReadBytes(index)), "");
      EXPECT_EQ(DescribeDifference(patched, ReadBytes(later)), "") << "not visited";
    } else {
      EXPECT_EQ(restored, std::vector<std::string>{"Resume  2 files successful"});
      EXPECT_EQ(DescribeDifference(original, ReadBytes(index)), "");
      EXPECT_EQ(DescribeDifference(original, ReadBytes(later)), "");
    }
    EXPECT_EQ(Names(bdmv), (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));
  }
}

// While the rename waits for a holder, the new index file stays hidden under its temporary name;
// it takes the replaced file's attributes once it has the final name.
TEST(WindowsSharingTest, TheNewIndexFileIsHiddenWhileTheRenameWaits) {
  TempTree tree;
  const Bytes original = IndexBytes(64, 0x60);
  MakeBdmvFolder(tree / "Movie", original);
  const fs::path bdmv = tree / "Movie" / "BDMV";
  const fs::path index = bdmv / "index.bdmv";
  ASSERT_TRUE(
      SetFileAttributesW(index.wstring().c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));

  std::optional<HeldFile> holder;
  holder.emplace(index, L"read", L"rw");
  ASSERT_EQ(holder->Status(), "open");
  std::vector<DWORD> seen;  // the temporary's attributes at each try of the rename
  platform::SetFaultHook([&](platform::IoStep step) {
    if (step != platform::IoStep::kRename) return 0;
    for (const auto& entry : fs::directory_iterator(bdmv)) {
      if (entry.path().filename().string().find(".quorvel-") == std::string::npos) continue;
      seen.push_back(GetFileAttributesW(entry.path().wstring().c_str()));
    }
    if (seen.size() == 3) holder.reset();  // the holder lets go while the rename waits
    return 0;
  });
  const auto shown = ModifyTree(tree.Root());
  platform::SetFaultHook(nullptr);

  EXPECT_EQ(shown.Texts(), std::vector<std::string>{"Modify 1 file successful"});
  ASSERT_EQ(seen.size(), 3u) << "the rename waited, then replaced the file";
  for (DWORD attributes : seen) EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN) << attributes;
  EXPECT_EQ(GetFileAttributesW(index.wstring().c_str()),
            static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(index)), "");
  EXPECT_EQ(Names(bdmv), (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));
}

// Two passes on one file keep apart: another Quorvel changing the index file holds it locked.
TEST(WindowsSharingTest, AnIndexFileAnotherPassHoldsIsALockViolation) {
  TempTree tree;
  const Bytes original = IndexBytes(64, 0x60);
  MakeBdmvFolder(tree / "Movie", original);
  const platform::Directory bdmv = platform::Directory::OpenFolder(Utf8(tree / "Movie" / "BDMV"));
  ASSERT_TRUE(bdmv.IsOpen()) << bdmv.OpenError()->what();
  const platform::File held = platform::File::OpenExclusive(bdmv, "index.bdmv");

  EXPECT_EQ(ModifyTree(tree.Root()).Texts(),
            std::vector<std::string>{"在存取 一未命名文件 时发生锁违例。"});
  EXPECT_EQ(DescribeDifference(original, ReadBytes(tree / "Movie" / "BDMV" / "index.bdmv")), "");
}

// Another program's hold on the file beside an image (a backup tool's) is waited out for about a
// second; held longer, that image is reported, restored all the same, and the pass goes on.
TEST(WindowsSharingTest, AFileBesideAnImageHeldPastTheWaitIsReportedAndThePassGoesOn) {
  for (const bool letsGo : {true, false}) {
    SCOPED_TRACE(letsGo ? "lets go during the wait" : "holds on");
    TempTree tree;
    testimage::WriteImage(tree / "A.iso", testimage::DiscFiles(0x60), {});
    const Bytes original = ReadBytes(tree / "A.iso");
    fs::copy_file(tree / "A.iso", tree / "B.iso");
    RecordingFrontEnd modified, restored;
    RunModifyPass(Utf8(tree.Root()), 0, modified, {.images = true});
    std::optional<HeldFile> holder(std::in_place, tree / "A.iso.quorvel", L"read", L"rw");
    ASSERT_EQ(holder->Status(), "open");
    platform::SetFaultHook([&](platform::IoStep step) {
      if (step == platform::IoStep::kRemove && letsGo) holder.reset();
      return 0;
    });
    RunGuarded(restored, [&] { RunRestorePass(Utf8(tree.Root()), restored, {.images = true}); });
    platform::SetFaultHook(nullptr);

    const std::string held = Utf8(tree / "A.iso") + ": " + image_messages::kRestoreBackupHeld;
    EXPECT_EQ(restored.Texts(),
              (letsGo ? std::vector<std::string>{"Resume  2 files successful"}
                      : std::vector<std::string>{held, "Resume  1 files successful"}));
    EXPECT_EQ(DescribeDifference(original, ReadBytes(tree / "A.iso")), "");
    EXPECT_EQ(fs::exists(tree / "A.iso.quorvel"), !letsGo);
  }
}

}  // namespace
