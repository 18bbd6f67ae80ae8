// The attributes Windows keeps and Linux has no place for: hidden and system directories, the
// read-only attribute of the files a pass changes, and what a replaced index file keeps.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <functional>
#include <set>

#include <gtest/gtest.h>

#include "bdmv/index_table.h"
#include "disc_image/disc_image.h"
#include "pass/bdmv_folder_walker.h"
#include "platform/fault_injection.h"
#include "platform/utf16_win32.h"
#include "tests/support/pass_runner.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

void AddAttributes(const fs::path& path, DWORD attributes) {
  const DWORD current = GetFileAttributesW(path.wstring().c_str());
  ASSERT_NE(current, INVALID_FILE_ATTRIBUTES) << path;
  ASSERT_TRUE(SetFileAttributesW(path.wstring().c_str(), current | attributes)) << path;
}

DWORD AttributesOf(const fs::path& path) {
  return GetFileAttributesW(path.wstring().c_str());
}

HANDLE OpenForSecurity(const fs::path& file, DWORD access) {
  return CreateFileW(file.wstring().c_str(), access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

// The file's access list as text ("D:(A;;FA;;;SY)..."); empty if it cannot be read.
std::wstring AccessListOf(const fs::path& file) {
  HANDLE handle = OpenForSecurity(file, READ_CONTROL);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  LPWSTR text = nullptr;
  std::wstring result;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                      nullptr, &descriptor) == ERROR_SUCCESS &&
      ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    result = text;
  }
  LocalFree(text);
  LocalFree(descriptor);
  CloseHandle(handle);
  return result;
}

// Adds an entry that lets everyone change the file, as a user might with the Security tab.
void LetEveryoneWrite(const fs::path& file) {
  HANDLE handle = OpenForSecurity(file, READ_CONTROL | WRITE_DAC);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  PACL current = nullptr;
  PSECURITY_DESCRIPTOR old = nullptr;
  ASSERT_EQ(GetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            &current, nullptr, &old),
            ERROR_SUCCESS);
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof everyone;
  ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize));
  EXPLICIT_ACCESSW entry{};
  entry.grfAccessPermissions = FILE_ALL_ACCESS;
  entry.grfAccessMode = GRANT_ACCESS;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  entry.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone);
  PACL wanted = nullptr;
  ASSERT_EQ(SetEntriesInAclW(1, &entry, current, &wanted), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, wanted, FALSE);
  EXPECT_TRUE(SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, &descriptor));
  LocalFree(wanted);
  LocalFree(old);
  CloseHandle(handle);
}

std::uint64_t CreationTicks(const fs::path& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(file.wstring().c_str(), GetFileExInfoStandard, &data);
  return (static_cast<std::uint64_t>(data.ftCreationTime.dwHighDateTime) << 32) |
         data.ftCreationTime.dwLowDateTime;
}

std::vector<std::string> SortedTargets(const TempTree& tree, bool images = false) {
  std::vector<std::string> targets;
  CBdmvFolderWalker walker(tree.Root().string(), "BDMV", images);
  walker.Walk([&](const DiscLocation& disc) {
    const std::string& path = disc.Path();
    EXPECT_TRUE(disc.Folder().IsOpen()) << path;
    targets.push_back(fs::path(path).lexically_relative(tree.Root()).string());
  });
  std::sort(targets.begin(), targets.end());
  return targets;
}

TEST(WindowsAttributesTest, HiddenAndSystemDecideWhatIsHandledAndWhatIsEntered) {
  TempTree tree;
  tree.MakeDirectories({"plain/BDMV", "lower/bdmv", "hiddenBdmv/BDMV", "systemBdmv/BDMV/BDMV",
                        "hiddenDir/m/BDMV", "systemDir/m/BDMV", "hiddenSystemDir/m/BDMV"});
  AddAttributes(tree / "hiddenBdmv" / "BDMV", FILE_ATTRIBUTE_HIDDEN);
  AddAttributes(tree / "systemBdmv" / "BDMV", FILE_ATTRIBUTE_SYSTEM);
  AddAttributes(tree / "hiddenDir", FILE_ATTRIBUTE_HIDDEN);
  AddAttributes(tree / "systemDir", FILE_ATTRIBUTE_SYSTEM);
  AddAttributes(tree / "hiddenSystemDir", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

  // A system BDMV is no target but is entered like any system directory that is not hidden.
  EXPECT_EQ(SortedTargets(tree),
            (std::vector<std::string>{"lower\\bdmv", "plain\\BDMV", "systemBdmv\\BDMV\\BDMV",
                                      "systemDir\\m\\BDMV"}));
}

// Images are files: a hidden or system one is no target, and a leading "." hides nothing.
TEST(WindowsAttributesTest, HiddenAndSystemImagesAreNoTargets) {
  TempTree tree;
  for (const char* name : {"plain.iso", "hidden.iso", "system.iso", ".dot.iso", "dir\\in.iso"}) {
    fs::create_directories((tree / name).parent_path());
    testimage::WriteImage(tree / name, testimage::DiscFiles(0), {});
  }
  AddAttributes(tree / "hidden.iso", FILE_ATTRIBUTE_HIDDEN);
  AddAttributes(tree / "system.iso", FILE_ATTRIBUTE_SYSTEM);
  AddAttributes(tree / "dir", FILE_ATTRIBUTE_HIDDEN);

  EXPECT_EQ(SortedTargets(tree, true), (std::vector<std::string>{".dot.iso", "plain.iso"}));
  EXPECT_EQ(SortedTargets(tree), std::vector<std::string>{});
}

class WindowsReadOnlyTest : public ::testing::Test {
 protected:
  fs::path Bdmv() const { return tree / "Movie" / "BDMV"; }
  fs::path Index() const { return Bdmv() / "index.bdmv"; }

  TempTree tree;
  const Bytes original = IndexBytes(90, 0x60);
};

TEST_F(WindowsReadOnlyTest, AReadOnlyIndexFileIsBackedUpAndLeftAlone) {
  MakeBdmvFolder(tree / "Movie", original);
  AddAttributes(Index(), FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(
      ModifyTree(tree.Root()).Texts(),
      (std::vector<std::string>{Bdmv().string() + ": Modify Fail,Please check if BDMV is ReadOnly",
                                "Modify 0 file successful"}));
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Bdmv() / "BACKUP" / "index.bdmv")), "");
}

TEST_F(WindowsReadOnlyTest, AReadOnlyMovieObjectIsAnAccessDeniedFileError) {
  MakeBdmvFolder(tree / "Movie", original);
  AddAttributes(Bdmv() / "MovieObject.bdmv", FILE_ATTRIBUTE_READONLY);

  const auto shown = ModifyTree(tree.Root(), true);

  ASSERT_EQ(shown.messages.size(), 1u) << "no summary after a file error";
  EXPECT_EQ(shown.messages[0].icon, PassMessage::Icon::kStop);
  EXPECT_EQ(shown.messages[0].text, "对 一未命名文件 的存取被拒绝。");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
}

TEST_F(WindowsReadOnlyTest, AnIndexFileHeldByAReaderIsASharingViolation) {
  MakeBdmvFolder(tree / "Movie", original);
  // A player that reads the file and lets others read it too.
  HANDLE reader = CreateFileW(Index().wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);

  const auto shown = ModifyTree(tree.Root());
  CloseHandle(reader);

  EXPECT_EQ(shown.Texts(), std::vector<std::string>{"在存取 一未命名文件 时发生共享违例。"});
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Bdmv() / "BACKUP" / "index.bdmv")), "");
}

TEST_F(WindowsReadOnlyTest, APatchKeepsTheIndexFilesAttributesAndRestoreGivesBackItsBytes) {
  MakeBdmvFolder(tree / "Movie", original);
  AddAttributes(Index(), FILE_ATTRIBUTE_HIDDEN);

  EXPECT_EQ(ModifyTree(tree.Root()).Texts(), std::vector<std::string>{"Modify 1 file successful"});
  EXPECT_EQ(DescribeDifference(PatchedBytes(original, false), ReadBytes(Index())), "");
  EXPECT_TRUE(AttributesOf(Index()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(AttributesOf(Bdmv() / "BACKUP" / "index.bdmv") & FILE_ATTRIBUTE_HIDDEN)
      << "the backup is a file of Quorvel's own";

  EXPECT_EQ(RestoreTree(tree.Root()).Texts(),
            std::vector<std::string>{"Resume  1 files successful"});
  EXPECT_EQ(DescribeDifference(original, ReadBytes(Index())), "");
  EXPECT_TRUE(AttributesOf(Index()) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(Names(Bdmv()), (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));
}

std::uint64_t FileIndex(const fs::path& file) {
  HANDLE handle = OpenForSecurity(file, FILE_READ_ATTRIBUTES);
  BY_HANDLE_FILE_INFORMATION info{};
  GetFileInformationByHandle(handle, &info);
  CloseHandle(handle);
  return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

// A replaced index file keeps the replaced one's access list (Wine keeps of it what the file's
// mode bits hold: an entry for everyone does), its attributes and its creation time (which Wine
// does not keep at all: that check runs only where the system keeps it). Where the new file may
// not take the access list (a share that refuses it), the file is written in place instead.
TEST(WindowsReplacedFileTest, KeepsItsAccessListAttributesAndCreationTime) {
  for (const bool refused : {false, true}) {
    SCOPED_TRACE(refused ? "access list refused: in place" : "by a rename");
    TempTree tree;
    const Bytes original = IndexBytes(90, 0x60);
    MakeBdmvFolder(tree / "Movie", original);
    const fs::path bdmv = tree / "Movie" / "BDMV";
    const fs::path index = bdmv / "index.bdmv";
    const std::wstring inherited = AccessListOf(index);
    LetEveryoneWrite(index);
    const std::wstring explicitEntry = AccessListOf(index);
    ASSERT_NE(explicitEntry, inherited) << "the entry was not added";
    AddAttributes(index, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    HANDLE file = OpenForSecurity(index, FILE_WRITE_ATTRIBUTES);
    const FILETIME created{0, 0x01C00000};  // in 1998
    SetFileTime(file, &created, nullptr, nullptr);
    CloseHandle(file);
    const std::uint64_t creation = CreationTicks(index);
    const bool keepsCreationTimes = creation == std::uint64_t{0x01C00000} << 32;
    const DWORD attributes = AttributesOf(index);

    // The file is the same one after the pass exactly when it was written in place.
    const auto expectKept = [&](const Bytes& content, std::uint64_t identity) {
      EXPECT_EQ(DescribeDifference(content, ReadBytes(index)), "");
      EXPECT_EQ(platform::Narrow(AccessListOf(index)), platform::Narrow(explicitEntry));
      EXPECT_EQ(AttributesOf(index), attributes);
      if (keepsCreationTimes) {
        EXPECT_EQ(CreationTicks(index), creation);
      }
      EXPECT_EQ(FileIndex(index) == identity, refused) << "in place exactly when refused";
      EXPECT_EQ(Names(bdmv),
                (std::vector<std::string>{"BACKUP", "MovieObject.bdmv", "index.bdmv"}));
    };
    // The access list is refused at the call's result, as a share that will not take it does.
    const auto run = [&](const std::function<RecordingFrontEnd()>& pass) {
      platform::SetFaultHook([&](platform::IoStep step) {
        return refused && step == platform::IoStep::kChown ? ERROR_ACCESS_DENIED : 0;
      });
      const auto shown = pass().Texts();
      platform::SetFaultHook(nullptr);
      return shown;
    };

    std::uint64_t identity = FileIndex(index);
    EXPECT_EQ(run([&] { return ModifyTree(tree.Root()); }),
              std::vector<std::string>{"Modify 1 file successful"});
    expectKept(PatchedBytes(original, false), identity);
    identity = FileIndex(index);
    EXPECT_EQ(run([&] { return RestoreTree(tree.Root()); }),
              std::vector<std::string>{"Resume  1 files successful"});
    expectKept(original, identity);
  }
}

TEST_F(WindowsReadOnlyTest, FilesBeingWrittenAreHidden) {
  MakeBdmvFolder(tree / "Movie", original);
  WriteBytes(tree / ".dotted", {});
  ASSERT_FALSE(AttributesOf(tree / ".dotted") & FILE_ATTRIBUTE_HIDDEN)
      << "Wine hides dot names unless told not to, as scripts/wine-prefix does";

  std::set<std::string> foldersWithTemporaries;
  std::vector<std::string> shown;
  platform::SetFaultHook([&](platform::IoStep step) {
    if (step != platform::IoStep::kWrite) return 0;
    for (const fs::path& folder : {Bdmv(), Bdmv() / "BACKUP"}) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".quorvel-") == std::string::npos) continue;
        foldersWithTemporaries.insert(folder.filename().string());
        if (!(AttributesOf(entry.path()) & FILE_ATTRIBUTE_HIDDEN)) {
          shown.push_back(entry.path().filename().string());
        }
      }
    }
    return 0;
  });
  const auto modified = ModifyTree(tree.Root());
  platform::SetFaultHook(nullptr);

  EXPECT_EQ(modified.Texts(), std::vector<std::string>{"Modify 1 file successful"});
  EXPECT_EQ(foldersWithTemporaries, (std::set<std::string>{"BACKUP", "BDMV"}));
  EXPECT_EQ(shown, std::vector<std::string>{});
  EXPECT_FALSE(AttributesOf(Index()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(WindowsReadOnlyTest, TheMovieObjectGetsTheTimeOfThePatchInWholeSeconds) {
  MakeBdmvFolder(tree / "Movie", original);
  const fs::path movie = Bdmv() / "MovieObject.bdmv";
  HANDLE file = CreateFileW(movie.wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const FILETIME old{0x12345678, 0x01C00000};  // in 1998, not on a whole second
  ASSERT_TRUE(SetFileTime(file, nullptr, &old, &old));
  CloseHandle(file);
  FILETIME start;
  GetSystemTimeAsFileTime(&start);

  ModifyTree(tree.Root());

  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(movie.wstring().c_str(), GetFileExInfoStandard, &data));
  const auto ticks = [](FILETIME time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  constexpr std::uint64_t kSecond = 10'000'000;
  EXPECT_EQ(ticks(data.ftLastWriteTime) % kSecond, 0u);
  EXPECT_GE(ticks(data.ftLastWriteTime), ticks(start) - ticks(start) % kSecond);
  EXPECT_EQ(ticks(data.ftLastAccessTime), ticks(old) - ticks(old) % kSecond)
      << "the access time is kept, cut to whole seconds";
}

// The file beside a patched image has no leading dot to hide it here; it carries the attribute
// through the rewrite that records the patch complete, and a reader that lets others write does
// not keep Restore from the image while a writer does.
TEST(WindowsImageTest, TheFileBesideAnImageIsHiddenAndAWriterOfTheImageIsASharingViolation) {
  TempTree tree;
  const fs::path image = tree / "Movie.iso";
  testimage::WriteImage(image, testimage::DiscFiles(0x50), {});
  const platform::Directory dir = platform::Directory::OpenFolder(Utf8(tree.Root()));
  ASSERT_EQ(disc_image::ModifyDiscImage(dir, "Movie.iso", Utf8(image), false).kind,
            FolderOutcome::Kind::kPatched);
  const fs::path beside = tree / "Movie.iso.quorvel";
  ASSERT_NE(AttributesOf(beside), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(AttributesOf(beside) & FILE_ATTRIBUTE_HIDDEN);

  HANDLE writer = CreateFileW(image.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  try {
    disc_image::RestoreDiscImage(dir, "Movie.iso", Utf8(image));
    ADD_FAILURE() << "the image was opened while another program wrote it";
  } catch (const FileError& error) {
    EXPECT_EQ(error.Cause(), FileErrorCause::kSharingViolation);
  }
  CloseHandle(writer);

  HANDLE reader =
      CreateFileW(image.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(disc_image::RestoreDiscImage(dir, "Movie.iso", Utf8(image)).kind,
            FolderOutcome::Kind::kRestored);
  CloseHandle(reader);
  EXPECT_FALSE(fs::exists(beside));
}

}  // namespace
