// The main dialog and the About box on their real templates, driven as a user would: typing,
// clicking, pressing keys, using the system menu. Needs a display.
#include <windows.h>

#include <shlobj.h>

#include <system_error>

#include <gtest/gtest.h>

#include "app/message_box.h"
#include "platform/utf16_win32.h"
#include "resource.h"
#include "tests/support/temp_tree.h"
#include "tests/support/udf_image.h"
#include "tests/win32/dialog_script.h"
#include "ui/folder_patch_dlg.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// What the shell sends when items are dropped onto a window.
HDROP DropOf(const std::vector<std::wstring>& paths) {
  std::size_t characters = 1;
  for (const auto& path : paths) characters += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* names = reinterpret_cast<wchar_t*>(drop + 1);
  for (const auto& path : paths) names = std::copy(path.begin(), path.end(), names) + 1;
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

struct ControlLayout {
  int id;
  const wchar_t* className;
  const wchar_t* text;
  RECT units;  // left, top, right, bottom in dialog units
  LONG style;  // bits that must be set
};

TEST(DialogTest, TheMainDialogIsLaidOutAsItsTemplateSays) {
  const std::vector<ControlLayout> controls = {
      {IDC_MODIFY, L"Button", L"Modify", {73, 127, 123, 141}, BS_DEFPUSHBUTTON | WS_TABSTOP},
      {IDC_RESTORE, L"Button", L"Restore", {166, 128, 216, 142}, BS_PUSHBUTTON | WS_TABSTOP},
      {IDC_HINT,
       L"Static",
       L"Choose BD Folder Path (support whole HDD)",
       {70, 25, 270, 33},
       SS_LEFT | WS_GROUP},
      {IDC_PATH_LABEL, L"Static", L"Folder Path:", {18, 43, 71, 54}, SS_LEFT | WS_GROUP},
      {IDC_FOLDER_PATH, L"Edit", L"", {69, 42, 219, 56}, ES_AUTOHSCROLL | WS_TABSTOP},
      {IDC_BROWSE, L"Button", L"Browse", {234, 42, 284, 56}, WS_TABSTOP},
      {IDC_3D_NOTE,
       L"Static",
       L"(3D content is not supported. Please tick \"Convert 3D to 2D\" \n"
       L"for successful modification. )",
       {7, 105, 313, 123},
       SS_CENTER | WS_GROUP},
      {IDC_CONVERT_3D,
       L"Button",
       L"Convert 3D to 2D",
       {70, 61, 150, 71},
       BS_AUTOCHECKBOX | WS_TABSTOP},
      {IDC_DISC_IMAGES,
       L"Button",
       L"Disc images too (.iso)",
       {70, 76, 170, 86},
       BS_AUTOCHECKBOX | WS_TABSTOP},
  };
  CFolderPatchDlg dlg;
  DialogScript script;
  const INT_PTR result = script.Run(
      dlg, {[&](HWND dialog) {
        EXPECT_EQ(TextOf(dialog), L"Quorvel 2.0");
        const LONG style = GetWindowLongW(dialog, GWL_STYLE);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
        EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_STREQ(font.lfFaceName, L"宋体");
        EXPECT_EQ(LOWORD(SendMessageW(dialog, DM_GETDEFID, 0, 0)), IDC_MODIFY);
        SetForegroundWindow(dialog);
        EXPECT_EQ(GetFocus(), Item(dialog, IDC_MODIFY)) << "the first tab stop has the focus";
        // The dialog manager draws the edit box's border as a sunken edge.
        EXPECT_TRUE(
            (GetWindowLongW(Item(dialog, IDC_FOLDER_PATH), GWL_STYLE) & WS_BORDER) ||
            (GetWindowLongW(Item(dialog, IDC_FOLDER_PATH), GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
        EXPECT_EQ(SendMessageW(Item(dialog, IDC_CONVERT_3D), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        EXPECT_EQ(SendMessageW(Item(dialog, IDC_DISC_IMAGES), BM_GETCHECK, 0, 0), BST_UNCHECKED);

        // Template order is tab order.
        HWND child = GetWindow(dialog, GW_CHILD);
        for (const auto& control : controls) {
          SCOPED_TRACE(control.id);
          ASSERT_NE(child, nullptr);
          EXPECT_EQ(GetDlgCtrlID(child), control.id);
          wchar_t className[32] = {};
          GetClassNameW(child, className, 32);
          EXPECT_STREQ(className, control.className);
          EXPECT_EQ(TextOf(child), control.text);
          EXPECT_EQ(GetWindowLongW(child, GWL_STYLE) & control.style, control.style);
          RECT expected = control.units;
          MapDialogRect(dialog, &expected);
          RECT actual;
          GetWindowRect(child, &actual);
          MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
          EXPECT_TRUE(EqualRect(&expected, &actual))
              << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;
          child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr);
        PressKey(dialog, VK_ESCAPE);
      }});
  EXPECT_EQ(result, IDCANCEL) << "Escape closes the dialog";
  EXPECT_FALSE(script.leftOpen);
  EXPECT_TRUE(script.boxes.empty());
}

// The box was added in the room below "Convert 3D to 2D", and Tab goes to it from there.
TEST(DialogTest, TheDiscImagesBoxFollowsTheOptionBelowItOverNoControl) {
  CFolderPatchDlg dlg;
  DialogScript script;
  script.Run(dlg, {[](HWND dialog) {
               HWND images = Item(dialog, IDC_DISC_IMAGES);
               HWND convert = Item(dialog, IDC_CONVERT_3D);
               EXPECT_EQ(GetNextDlgTabItem(dialog, convert, FALSE), images);
               EXPECT_EQ(GetNextDlgTabItem(dialog, images, FALSE), Item(dialog, IDC_MODIFY));
               const RECT place = PlaceIn(dialog, images);
               EXPECT_GE(place.top, PlaceIn(dialog, convert).bottom);
               RECT client;
               GetClientRect(dialog, &client);
               EXPECT_TRUE(Contains(client, place));
               for (HWND control = GetWindow(dialog, GW_CHILD); control;
                    control = GetWindow(control, GW_HWNDNEXT)) {
                 if (control == images) continue;
                 EXPECT_FALSE(Overlap(place, PlaceIn(dialog, control))) << GetDlgCtrlID(control);
               }
               PressKey(dialog, VK_ESCAPE);
             }});
  EXPECT_FALSE(script.leftOpen);
}

TEST(DialogTest, TheSystemMenuEndsWithTheAboutEntry) {
  CFolderPatchDlg dlg;
  DialogScript script;
  script.Run(
      dlg, {[](HWND dialog) {
        HMENU menu = GetSystemMenu(dialog, FALSE);
        const int count = GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        MENUITEMINFOW separator{};
        separator.cbSize = sizeof separator;
        separator.fMask = MIIM_FTYPE;
        ASSERT_TRUE(GetMenuItemInfoW(menu, count - 2, TRUE, &separator));
        EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
        wchar_t text[64] = {};
        GetMenuStringW(menu, count - 1, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, L"About Quorvel 2.0(&A)...");
        EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
        const std::wstring entry = text;
        EXPECT_EQ(entry.find(L'&'), entry.rfind(L'&')) << "one access key";
        EXPECT_EQ(entry[entry.find(L'&') + 1], L'A');
        // The icon: on the window, and when the minimised window is dragged.
        HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN));
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0)), icon);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dialog, WM_QUERYDRAGICON, 0, 0)), icon);
        PressKey(dialog, VK_ESCAPE);
      }});
  EXPECT_FALSE(script.leftOpen);
}

TEST(DialogTest, SystemCommands0x10To0x1FOpenTheAboutBox) {
  CFolderPatchDlg dlg;
  DialogScript script;
  script.Run(dlg, {[](HWND dialog) {
                     for (UINT id = 0x0010; id <= 0x001F; ++id) {
                       SendMessageW(dialog, WM_SYSCOMMAND, id, 0);
                     }
                     SendMessageW(dialog, WM_SYSCOMMAND, 0x0020, 0);
                   },
                   [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  ASSERT_EQ(script.openedDialogs.size(), 16u) << "one About box for each id, none for 0x0020";
  for (std::size_t i = 0; i < script.openedDialogs.size(); ++i) {
    EXPECT_EQ(script.openedDialogs[i], "关于 quorvel");
    EXPECT_EQ(script.openedTexts[i], "Quorvel 2.0 Ver");
    EXPECT_EQ(script.openedOkTexts[i], "确定");
  }
  EXPECT_FALSE(script.leftOpen);
}

class DialogPassTest : public ::testing::Test {
 protected:
  TempTree tree;
  DialogScript script;
  CFolderPatchDlg dlg;
};

TEST_F(DialogPassTest, ModifyAndRestoreRunOnTheTypedPath) {
  const Bytes original = IndexBytes(64, 0x60);
  MakeBdmvFolder(tree / "one", original);
  MakeBdmvFolder(tree / "two", original);
  const fs::path oneIndex = tree / "one" / "BDMV" / "index.bdmv";
  const fs::path twoIndex = tree / "two" / "BDMV" / "index.bdmv";

  HWND shownBy = nullptr;
  const INT_PTR result = script.Run(dlg, {[&](HWND dialog) {
                                            shownBy = dialog;
                                            Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                                            Click(dialog, IDC_CONVERT_3D);
                                            Click(dialog, IDC_MODIFY);
                                          },
                                          [&](HWND dialog) {
                                            EXPECT_EQ(ReadBytes(oneIndex).size(), 88u);
                                            EXPECT_EQ(ReadBytes(oneIndex)[44], 0x00)
                                                << "the ticked option cleared the flags";
                                            // A newly typed path is used at once.
                                            Type(dialog, IDC_FOLDER_PATH, (tree / "one").string());
                                            Click(dialog, IDC_RESTORE);
                                          },
                                          [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});

  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(Texts(script.boxes),
            (std::vector<std::string>{"Modify 2 file successful", "Resume  1 files successful"}));
  for (const auto& box : script.boxes) {
    EXPECT_EQ(box.caption, ApplicationName());
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(box.owner, shownBy);
  }
  EXPECT_EQ(ApplicationName(), "quorvel_dialog_tests");
  EXPECT_EQ(DescribeDifference(original, ReadBytes(oneIndex)), "");
  EXPECT_EQ(ReadBytes(twoIndex).size(), 88u) << "the Restore pass walked the new path only";
  EXPECT_EQ(dlg.m_bConvert3DTo2D, 1);
}

// A walk takes the image below the folder only with the box ticked; a path naming the image is a
// pass over it either way.
TEST_F(DialogPassTest, ModifyReachesAnImageBelowTheFolderOnlyWithTheBoxTicked) {
  const fs::path image = tree / "discs" / "film.iso";
  fs::create_directories(image.parent_path());
  testimage::WriteImage(image, testimage::DiscFiles(0x60), {});
  const Bytes original = ReadBytes(image);
  script.Run(dlg, {[&](HWND dialog) {
                     Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                     Click(dialog, IDC_MODIFY);
                   },
                   [&](HWND dialog) {
                     EXPECT_EQ(DescribeDifference(original, ReadBytes(image)), "");
                     Click(dialog, IDC_DISC_IMAGES);
                     Click(dialog, IDC_MODIFY);
                   },
                   [&](HWND dialog) {
                     EXPECT_EQ(ReadBytes(image).size(), original.size());
                     EXPECT_NE(DescribeDifference(original, ReadBytes(image)), "");
                     Click(dialog, IDC_RESTORE);
                   },
                   [&](HWND dialog) {
                     EXPECT_EQ(DescribeDifference(original, ReadBytes(image)), "");
                     Click(dialog, IDC_DISC_IMAGES);
                     Type(dialog, IDC_FOLDER_PATH, image.string());
                     Click(dialog, IDC_MODIFY);
                   },
                   [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  EXPECT_EQ(Texts(script.boxes),
            (std::vector<std::string>{"Modify 0 file successful", "Modify 1 file successful",
                                      "Resume  1 files successful", "Modify 1 file successful"}));
  EXPECT_NE(DescribeDifference(original, ReadBytes(image)), "");  // its movie object's time is new
  EXPECT_TRUE(fs::exists(image.parent_path() / "film.iso.quorvel"));
  EXPECT_EQ(dlg.m_bDiscImages, 0);
}

TEST_F(DialogPassTest, EnterStartsAModifyPassAndEscapeRunsNone) {
  MakeBdmvFolder(tree / "m", IndexBytes(64, 0x60));
  const fs::path index = tree / "m" / "BDMV" / "index.bdmv";

  // Escape first: the dialog closes and nothing is changed.
  CFolderPatchDlg first;
  EXPECT_EQ(script.Run(first, {[&](HWND dialog) {
                         Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                         PressKey(dialog, VK_ESCAPE);
                       }}),
            IDCANCEL);
  EXPECT_TRUE(script.boxes.empty());
  EXPECT_EQ(ReadBytes(index).size(), 64u);

  // Enter in the edit box clicks the default button, Modify; an empty path cannot be entered.
  script.Run(dlg, {[&](HWND dialog) {
                     SetFocus(Item(dialog, IDC_FOLDER_PATH));
                     PressKey(dialog, VK_RETURN);
                   },
                   [&](HWND dialog) {
                     Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                     PressKey(dialog, VK_RETURN);
                   },
                   [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  EXPECT_EQ(Texts(script.boxes),
            (std::vector<std::string>{"Floder Path ERR.", "Modify 1 file successful"}));
  EXPECT_EQ(ReadBytes(index).size(), 88u);
}

TEST_F(DialogPassTest, ThePassTakesNoInputMeanwhile) {
  fs::create_directories(tree / "a" / "BDMV");
  MakeBdmvFolder(tree / "b", IndexBytes(64, 0x60));
  HWND restore = nullptr;
  HWND shownBy = nullptr;
  bool stayedOpen = false;
  // While the pass runs: a click on Restore and two dropped folders, which must come to nothing.
  // (Escape stops the pass: see the cancel test.)
  script.onBox = [&](const ShownBox& box) {
    if (box.text.ends_with("successful")) return;
    PostMessageW(restore, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(restore, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    const std::wstring dropped = (tree / "a").wstring();
    SendMessageW(shownBy, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({dropped})), 0);
    PostMessageW(shownBy, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({dropped})), 0);
  };

  script.Run(dlg,
             {[&](HWND dialog) {
                shownBy = dialog;
                restore = Item(dialog, IDC_RESTORE);
                Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                Click(dialog, IDC_MODIFY);
              },
              [&](HWND) { stayedOpen = true; }, [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});

  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(Texts(script.boxes),
            (std::vector<std::string>{"modify Fail,Please check if path is correct ",
                                      "Modify 1 file successful"}));
  EXPECT_FALSE(script.leftOpen);
  EXPECT_EQ(dlg.m_strFolderPath, Utf8(tree.Root()));
}

// With "Disc images too (.iso)" ticked, the browser offers files as well, for an image.
TEST_F(DialogPassTest, BrowseFillsThePathAndKeepsTheOptions) {
  script.Run(
      dlg, {[&](HWND dialog) {
        Click(dialog, IDC_BROWSE);  // cancelled
        Type(dialog, IDC_FOLDER_PATH, "typed");
        Click(dialog, IDC_CONVERT_3D);
        script.AnswerBrowser("C:\\chosen");
        Click(dialog, IDC_BROWSE);
        EXPECT_EQ(TextOf(Item(dialog, IDC_FOLDER_PATH)), L"C:\\chosen");
        EXPECT_EQ(SendMessageW(Item(dialog, IDC_CONVERT_3D), BM_GETCHECK, 0, 0), BST_CHECKED);
        Click(dialog, IDC_DISC_IMAGES);
        script.AnswerBrowser("C:\\discs\\film.iso");
        Click(dialog, IDC_BROWSE);
        EXPECT_EQ(TextOf(Item(dialog, IDC_FOLDER_PATH)), L"C:\\discs\\film.iso");
        EXPECT_EQ(SendMessageW(Item(dialog, IDC_DISC_IMAGES), BM_GETCHECK, 0, 0), BST_CHECKED);
        PressKey(dialog, VK_ESCAPE);
      }});
  EXPECT_EQ(script.browserPrompts, std::vector<std::string>(3, "Please select folder path"));
  EXPECT_EQ(script.browserItems,
            (std::vector<BrowseItems>{BrowseItems::kFolders, BrowseItems::kFolders,
                                      BrowseItems::kFoldersAndFiles}));
  EXPECT_EQ(Texts(script.boxes),
            std::vector<std::string>{"invalid floder,please choose floder again."});
  EXPECT_EQ(dlg.m_strFolderPath, "C:\\discs\\film.iso");
}

TEST_F(DialogPassTest, AFileErrorIsShownOnceWithTheStopIconAndTheDialogStaysOpen) {
  MakeBdmvFolder(tree / "m", IndexBytes(64, 0x60));
  const fs::path movie = tree / "m" / "BDMV" / "MovieObject.bdmv";
  SetFileAttributesW(movie.wstring().c_str(), FILE_ATTRIBUTE_READONLY);

  script.Run(dlg, {[&](HWND dialog) {
                     Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                     Click(dialog, IDC_MODIFY);
                   },
                   [&](HWND dialog) {
                     EXPECT_TRUE(IsWindowVisible(dialog));
                     SetFileAttributesW(movie.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
                     Click(dialog, IDC_MODIFY);
                   },
                   [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});

  ASSERT_EQ(script.boxes.size(), 2u);
  EXPECT_EQ(script.boxes[0].text, "对 一未命名文件 的存取被拒绝。");
  EXPECT_EQ(script.boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONSTOP));
  EXPECT_EQ(script.boxes[0].details, "Folder: " + Utf8(tree / "m" / "BDMV") +
                                         "\r\nFile: MovieObject.bdmv\r\n" +
                                         std::system_category().message(ERROR_ACCESS_DENIED));
  EXPECT_EQ(script.boxes[1].text, "Modify 1 file successful");
  EXPECT_EQ(script.boxes[1].details, Utf8(tree / "m" / "BDMV") + ": patched");
}

// A dropped file is taken as a folder is: the pass tells whether it is a disc image.
TEST_F(DialogPassTest, ADroppedFolderOrFileFillsThePathAsBrowseDoes) {
  fs::create_directories(tree / "dropped");
  WriteBytes(tree / "film.iso", {});
  script.Run(
      dlg, {[&](HWND dialog) {
        EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        Type(dialog, IDC_FOLDER_PATH, "typed");
        Click(dialog, IDC_CONVERT_3D);
        SendMessageW(dialog, WM_DROPFILES,
                     reinterpret_cast<WPARAM>(DropOf({(tree / "gone").wstring()})), 0);
        EXPECT_EQ(TextOf(Item(dialog, IDC_FOLDER_PATH)), L"typed") << "nothing there";
        SendMessageW(dialog, WM_DROPFILES,
                     reinterpret_cast<WPARAM>(DropOf({(tree / "film.iso").wstring()})), 0);
        EXPECT_EQ(TextOf(Item(dialog, IDC_FOLDER_PATH)), (tree / "film.iso").wstring());
        SendMessageW(dialog, WM_DROPFILES,
                     reinterpret_cast<WPARAM>(
                         DropOf({(tree / "dropped").wstring(), (tree / "film.iso").wstring()})),
                     0);
        EXPECT_EQ(TextOf(Item(dialog, IDC_FOLDER_PATH)), (tree / "dropped").wstring());
        EXPECT_EQ(SendMessageW(Item(dialog, IDC_CONVERT_3D), BM_GETCHECK, 0, 0), BST_CHECKED);
        PressKey(dialog, VK_ESCAPE);
      }});
  EXPECT_EQ(Texts(script.boxes),
            std::vector<std::string>{"invalid floder,please choose floder again."});
  EXPECT_EQ(dlg.m_strFolderPath, Utf8(tree / "dropped"));
}

// The top-level dialog of a process, once it shows.
HWND DialogOf(DWORD processId) {
  struct Search {
    DWORD processId;
    HWND found;
  } search{processId, nullptr};
  for (int attempt = 0; attempt < 200 && !search.found; ++attempt) {
    EnumWindows(
        [](HWND window, LPARAM context) {
          auto* search = reinterpret_cast<Search*>(context);
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner == search->processId && IsWindowVisible(window) &&
              GetDlgItem(window, IDC_FOLDER_PATH)) {
            search->found = window;
          }
          return search->found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) Sleep(50);
  }
  return search.found;
}

TEST(DialogProgramTest, AFolderOrImageOnTheCommandLineFillsThePath) {
  struct Case {
    std::wstring arguments;  // as the command line spells them
    std::wstring shown;
  };
  const std::vector<Case> cases = {
      {L"", L""},
      {L"\"C:\\My Movies\"", L"C:\\My Movies"},
      {L"\"D:\\\"", L"D:\\"},  // a drive dropped onto the program's icon
      {L"\"C:\\My Movies\\film.iso\"", L"C:\\My Movies\\film.iso"},  // a disc image
      {L"\\\\?\\C:\\movie. other", L"\\\\?\\C:\\movie."},
  };
  const std::wstring program = platform::FullPath(platform::Widen(QUORVEL_APP_PATH));
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::Narrow(c.arguments));
    std::wstring commandLine = L"\"" + program + L"\" " + c.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    HWND dialog = DialogOf(process.dwProcessId);
    EXPECT_NE(dialog, nullptr);
    if (dialog) {
      wchar_t text[MAX_PATH] = {};
      SendMessageW(GetDlgItem(dialog, IDC_FOLDER_PATH), WM_GETTEXT, MAX_PATH,
                   reinterpret_cast<LPARAM>(text));
      EXPECT_EQ(std::wstring(text), c.shown);
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 10'000), WAIT_OBJECT_0);
    if (!dialog) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace
