// Explorer's menu as an installed package left it: each command line the registry holds, with the
// item's path put in for %V as Explorer puts it, opens the dialog with the path and runs its pass
// on the disc. Run by installer_test.sh once the package is installed; QUORVEL_INSTALL_ROOT says
// where the package wrote its keys (HKCU for one user, HKLM for every user).
#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/utf16_win32.h"
#include "resource.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"
#include "tests/win32/dialog_script.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr DWORD kPassTimeout = 60'000;  // milliseconds; a bound, not an expectation

HKEY InstallRoot() {
  const char* root = std::getenv("QUORVEL_INSTALL_ROOT");
  return root && std::string(root) == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring VerbCommand(const std::wstring& itemClass, const std::wstring& verb) {
  const std::wstring key = L"Software\\Classes\\" + itemClass + L"\\shell\\Quorvel." + verb;
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  EXPECT_EQ(RegGetValueW(InstallRoot(), key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size),
            ERROR_SUCCESS)
      << platform::Narrow(key);
  std::wstring command(1024, L'\0');
  size = static_cast<DWORD>(command.size() * sizeof(wchar_t));
  EXPECT_EQ(RegGetValueW(InstallRoot(), (key + L"\\command").c_str(), nullptr, RRF_RT_REG_SZ,
                         nullptr, command.data(), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(value), verb + L" with Quorvel");
  command.resize(wcslen(command.c_str()));
  const std::size_t item = command.find(L"%V");
  EXPECT_NE(item, std::wstring::npos) << platform::Narrow(command);
  return command;
}

// A control's text in another process, which only WM_GETTEXT reads.
std::string TextIn(HWND control) {
  std::wstring text(SendMessageW(control, WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
  text.resize(SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  return platform::Narrow(text);
}

// The text of a box: a plain message box's, or the one with Details.
std::string BoxText(HWND box) {
  HWND text = GetDlgItem(box, IDC_BOX_TEXT);
  return TextIn(text ? text : GetDlgItem(box, 0xFFFF));
}

struct Shown {
  std::string path;     // in the dialog's path box
  std::string summary;  // the box the pass ended with
};

// Runs a command line as Explorer would and answers the dialog as a user: the summary's OK,
// then the dialog's Cancel.
Shown RunAsExplorer(std::wstring commandLine) {
  Shown shown;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    ADD_FAILURE() << "cannot run " << platform::Narrow(commandLine);
    return shown;
  }
  if (HWND dialog = DialogOfProcess(process.dwProcessId)) {
    shown.path = TextIn(GetDlgItem(dialog, IDC_FOLDER_PATH));
    HWND box = dialog;
    for (DWORD waited = 0; box == dialog && waited < kPassTimeout; waited += 50) {
      Sleep(50);
      box = GetLastActivePopup(dialog);
    }
    shown.summary = BoxText(box);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (DWORD waited = 0; GetLastActivePopup(dialog) != dialog && waited < kPassTimeout;
         waited += 50) {
      Sleep(50);
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  if (WaitForSingleObject(process.hProcess, kPassTimeout) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the dialog is still open";
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return shown;
}

TEST(ExplorerVerbsTest, EachMenuItemRunsItsPassOnTheItem) {
  TempTree tree;
  const Bytes original = IndexBytes(64, 0x60);
  // Folders whose names have blanks and Chinese characters, one reached through "\\?\" and
  // longer than MAX_PATH, and an image.
  const fs::path named = tree.Root() / fs::u8path("我的 电影 (2020)");
  MakeBdmvFolder(named / "Film", original);
  const std::wstring longParent = L"\\\\?\\" + tree.Root().wstring() + L"\\" +
                                  std::wstring(120, L'a') + L"\\" + std::wstring(120, L'b');
  for (const auto& part : {longParent.substr(0, longParent.rfind(L'\\')), longParent}) {
    ASSERT_TRUE(CreateDirectoryW(part.c_str(), nullptr));
  }
  MakeBdmvFolder(tree / "moved", original);
  const std::wstring longDisc = longParent + L"\\Film";
  ASSERT_TRUE(MoveFileW((L"\\\\?\\" + (tree / "moved").wstring()).c_str(), longDisc.c_str()));
  const fs::path image = tree.Root() / fs::u8path("电影 Film.iso");
  testimage::WriteImage(image, testimage::DiscFiles(0x60), {});
  const Bytes imageBytes = ReadBytes(image);

  struct Case {
    std::wstring itemClass;
    std::wstring verb;
    std::wstring item;
    std::string summary;
    fs::path index;  // the disc's index file after the pass, or the image
    bool patched;
  };
  const fs::path namedIndex = named / "Film" / "BDMV" / "index.bdmv";
  const fs::path longIndex = longDisc + L"\\BDMV\\index.bdmv";
  const std::vector<Case> cases = {
      {L"Directory", L"Modify", named.wstring(), "Modify 1 file successful", namedIndex, true},
      {L"Directory\\Background", L"Restore", named.wstring(), "Resume  1 files successful",
       namedIndex, false},
      {L"Directory\\Background", L"Modify", longParent, "Modify 1 file successful", longIndex,
       true},
      {L"Directory", L"Restore", longParent, "Resume  1 files successful", longIndex, false},
      {L"SystemFileAssociations\\.iso", L"Modify", image.wstring(), "Modify 1 file successful",
       image, true},
      {L"SystemFileAssociations\\.iso", L"Restore", image.wstring(),
       "Resume  1 files successful", image, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::Narrow(c.itemClass + L" " + c.verb + L" " + c.item));
    std::wstring command = VerbCommand(c.itemClass, c.verb);
    command.replace(command.find(L"%V"), 2, c.item);
    const Shown shown = RunAsExplorer(command);
    EXPECT_EQ(shown.path, platform::Narrow(c.item)) << "the path reaches the dialog whole";
    EXPECT_EQ(shown.summary, c.summary);
    const Bytes now = ReadBytes(c.index);
    if (c.index == image) {
      EXPECT_EQ(now == imageBytes, !c.patched);
    } else {
      EXPECT_EQ(now, c.patched ? PatchedBytes(original, false) : original);
    }
  }
  // What the tree cannot remove at its length.
  EXPECT_TRUE(MoveFileW(longDisc.c_str(), (L"\\\\?\\" + (tree / "moved").wstring()).c_str()));
  EXPECT_TRUE(RemoveDirectoryW(longParent.c_str()));
  EXPECT_TRUE(RemoveDirectoryW(longParent.substr(0, longParent.rfind(L'\\')).c_str()));
  // The drive's items are the folder's, on a drive root as Explorer passes it ("D:\").
  for (const std::wstring verb : {L"Modify", L"Restore"}) {
    EXPECT_EQ(VerbCommand(L"Drive", verb), VerbCommand(L"Directory", verb));
  }
}

}  // namespace
