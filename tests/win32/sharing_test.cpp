// Another program holding the movie-object file open while a Modify pass sets its time: one that
// only reads it, and lets it be written, does not stand in the way; any other does.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/utf16_win32.h"
#include "tests/support/pass_runner.h"
#include "tests/support/temp_tree.h"

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

TEST(WindowsSharingTest, OnlyAReaderThatLetsTheMovieObjectBeWrittenLetsThePassThrough) {
  struct Case {
    const wchar_t* access;
    const wchar_t* share;
    bool blocks;
  };
  const std::vector<Case> cases = {
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

}  // namespace
