// The main dialog while a pass runs, driven as a user would: the progress strip, stopping the
// pass, the summary's details, and the keyboard around the summary. Needs a display.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/message_box.h"
#include "platform/utf16_win32.h"
#include "resource.h"
#include "tests/support/hurried_clock.h"
#include "tests/support/temp_tree.h"
#include "tests/win32/dialog_script.h"
#include "ui/dialog_front_end.h"
#include "ui/folder_patch_dlg.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr const char* kNoIndex = "modify Fail,Please check if path is correct ";

// Long enough for the pass to read the dialog's input at its next folder.
constexpr DWORD kLongerThanATick = 120;  // milliseconds

// The strip's text, its bar ("marquee", or "K of M") and the disc at hand.
std::wstring StripShows(HWND dialog) {
  HWND bar = Item(dialog, IDC_PROGRESS_BAR);
  std::wstring shown = L"marquee";
  if (!(GetWindowLongPtrW(bar, GWL_STYLE) & PBS_MARQUEE)) {
    shown = std::to_wstring(SendMessageW(bar, PBM_GETPOS, 0, 0)) + L" of " +
            std::to_wstring(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
  }
  return TextOf(Item(dialog, IDC_PROGRESS_TEXT)) + L", " + shown + L", " +
         TextOf(Item(dialog, IDC_PROGRESS_CURRENT));
}

// A step after a key that closes the summary on the screen; a summary left open is closed.
DialogScript::Step TheSummaryIsClosedBy(const char* key) {
  return [key](HWND dialog) {
    HWND box = GetLastActivePopup(dialog);
    EXPECT_EQ(box, dialog) << key << " closed the summary";
    if (box != dialog) PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
}

class DialogPassProgressTest : public ::testing::Test {
 protected:
  // "a" cannot be modified, and shows a box while the pass runs; "b" and "c" can.
  DialogPassProgressTest() {
    fs::create_directories(tree / "a" / "BDMV");
    MakeBdmvFolder(tree / "b", original);
    MakeBdmvFolder(tree / "c", original);
  }

  std::size_t IndexSize(const std::string& disc) const {
    return ReadBytes(tree / disc / "BDMV" / "index.bdmv").size();
  }

  TempTree tree;
  const Bytes original = IndexBytes(64, 0x60);
  DialogScript script;
  CFolderPatchDlg dlg;
};

TEST_F(DialogPassProgressTest, CancelEscapeOrCloseStopTheWalkAndTheDialogStays) {
  struct Case {
    const char* name;
    std::function<void(HWND dialog)> stop;
  };
  const std::vector<Case> cases = {
      {"Cancel", [](HWND dialog) { PostClick(Item(dialog, IDC_CANCEL_PASS)); }},
      {"Escape", [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }},
      {"close", [](HWND dialog) { SendMessageW(dialog, WM_CLOSE, 0, 0); }},
      {"Close on the task bar",
       [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeBdmvFolder(tree / "b", original);
    MakeBdmvFolder(tree / "c", original);
    script.boxes.clear();
    HWND shownBy = nullptr;
    bool stayedOpen = false;
    script.onBox = [&](const ShownBox& box) {
      if (box.text != kNoIndex) {
        EXPECT_EQ(Item(shownBy, IDC_CANCEL_PASS), nullptr)
            << "the strip is gone before the summary";
        return;
      }
      HWND cancel = Item(shownBy, IDC_CANCEL_PASS);
      ASSERT_NE(cancel, nullptr);
      EXPECT_TRUE(IsWindowVisible(cancel));
      EXPECT_EQ(TextOf(cancel), L"Cancel");
      EXPECT_EQ(StripShows(shownBy), L"Disc 1 of 3, 1 of 3, " + (tree / "a" / "BDMV").wstring());
      // The cursor is busy over the dialog, but for the button that stops the pass.
      for (const auto& [window, cursor] :
           {std::pair{Item(shownBy, IDC_RESTORE), IDC_WAIT}, std::pair{cancel, IDC_ARROW}}) {
        SendMessageW(shownBy, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, cursor));
      }
      c.stop(shownBy);
      Sleep(kLongerThanATick);
    };
    CFolderPatchDlg dialog(nullptr, HurriedClock());
    script.Run(dialog, {[&](HWND window) {
                          shownBy = window;
                          Type(window, IDC_FOLDER_PATH, tree.Root().string());
                          Click(window, IDC_MODIFY);
                        },
                        [&](HWND window) {
                          stayedOpen = true;
                          EXPECT_EQ(Item(window, IDC_CANCEL_PASS), nullptr);
                          EXPECT_EQ(GetFocus(), Item(window, IDC_MODIFY)) << "focus is back";
                          PressKey(window, VK_ESCAPE);
                        }});
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(script.leftOpen) << "Escape closes the dialog once the pass is over";
    // The summary's own text, then the stop: "a" was the first of the three discs.
    const std::string stopped = "Stopped after 1 of 3 discs.";
    EXPECT_EQ(Texts(script.boxes),
              (std::vector<std::string>{kNoIndex, "Modify 0 file successful\n" + stopped}));
    EXPECT_EQ(script.boxes.back().details,
              stopped + "\r\n" + Utf8(tree / "a" / "BDMV") + ": " + kNoIndex);
    EXPECT_EQ(IndexSize("b"), 64u) << "the walk stopped before the next folder";
    EXPECT_EQ(IndexSize("c"), 64u);
  }
}

// The strip is a panel of its own template inside the main dialog: in the band below the
// buttons, over none of the dialog's controls, with its texts and Cancel inside it.
TEST_F(DialogPassProgressTest, TheStripLiesInTheBandTheControlsLeaveFree) {
  HWND shownBy = nullptr;
  bool looked = false;
  script.onBox = [&](const ShownBox& box) {
    if (box.text != kNoIndex) return;
    looked = true;
    HWND strip = GetParent(Item(shownBy, IDC_CANCEL_PASS));
    ASSERT_NE(strip, shownBy) << "the strip is a panel of its own";
    RECT client;
    GetClientRect(shownBy, &client);
    const RECT band = PlaceIn(shownBy, strip);
    EXPECT_TRUE(Contains(client, band));
    for (HWND control = GetWindow(shownBy, GW_CHILD); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
      if (control == strip) continue;
      EXPECT_FALSE(Overlap(band, PlaceIn(shownBy, control))) << GetDlgCtrlID(control);
    }
    for (int id : {IDC_PROGRESS_TEXT, IDC_PROGRESS_BAR, IDC_PROGRESS_CURRENT, IDC_CANCEL_PASS}) {
      EXPECT_TRUE(Contains(band, PlaceIn(shownBy, GetDlgItem(strip, id)))) << id;
    }
  };
  CFolderPatchDlg dialog(nullptr, HurriedClock());
  script.Run(dialog, {[&](HWND window) {
               shownBy = window;
               Type(window, IDC_FOLDER_PATH, tree.Root().string());
               Click(window, IDC_MODIFY);
               PressKey(window, VK_ESCAPE);
             }});
  EXPECT_TRUE(looked);
  EXPECT_FALSE(script.leftOpen);
}

// While the pass looks for discs the bar runs a marquee; then it counts the discs found, up to
// the one at hand, which the line below names. With none found, the bar is empty, not busy.
TEST_F(DialogPassProgressTest, TheStripShowsTheSearchThenTheDiscAtHand) {
  std::vector<std::wstring> shown;
  script.Run(dlg,
             {[&](HWND dialog) {
                {
                  DialogFrontEnd frontEnd(dialog, HurriedClock());
                  frontEnd.Searching(1234, 5);
                  shown.push_back(StripShows(dialog));
                  frontEnd.DiscsFound(5);
                  shown.push_back(StripShows(dialog));
                  frontEnd.FolderStarted("C:\\m\\c\\BDMV");
                  shown.push_back(StripShows(dialog));
                  frontEnd.FolderHandled("C:\\m\\c\\BDMV", {FolderOutcome::Kind::kPatched, {}});
                  frontEnd.FolderStarted("C:\\m\\e\\BDMV");
                  shown.push_back(StripShows(dialog));
                }
                DialogFrontEnd frontEnd(dialog, HurriedClock());
                frontEnd.DiscsFound(0);
                shown.push_back(StripShows(dialog));
              },
              [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  EXPECT_EQ(shown, (std::vector<std::wstring>{
                       L"Looking for discs: 1234 directories, 5 found, marquee, ",
                       L"Disc 0 of 5, 0 of 5, ", L"Disc 1 of 5, 1 of 5, C:\\m\\c\\BDMV",
                       L"Disc 2 of 5, 2 of 5, C:\\m\\e\\BDMV", L"Disc 0 of 0, 0 of 1, "}));
  EXPECT_FALSE(script.leftOpen);
}

TEST_F(DialogPassProgressTest, TheSummarysDetailsTellEachFoldersOutcome) {
  MakeBdmvFolder(tree / "d", PatchedBytes(original, false));
  const std::string a = Utf8(tree / "a" / "BDMV");
  const std::string b = Utf8(tree / "b" / "BDMV");
  const std::string c = Utf8(tree / "c" / "BDMV");
  const std::string d = Utf8(tree / "d" / "BDMV");
  bool stripShown = false;
  script.onBox = [&](const ShownBox& box) {
    stripShown = stripShown || Item(box.owner, IDC_CANCEL_PASS) != nullptr;
  };
  script.Run(dlg, {[&](HWND dialog) {
               Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
               Click(dialog, IDC_MODIFY);
               Click(dialog, IDC_RESTORE);
               PressKey(dialog, VK_ESCAPE);
             }});
  EXPECT_FALSE(stripShown) << "a short pass shows no progress";
  std::vector<std::string> details;
  for (const auto& box : script.boxes) {
    if (box.text.ends_with("successful")) details.push_back(box.details);
  }
  ASSERT_EQ(details.size(), 2u);
  EXPECT_EQ(details[0], a + ": " + kNoIndex + "\r\n" + b + ": patched\r\n" + c + ": patched\r\n" +
                            d + ": already patched");
  // No backup is made of an index file that is already patched: there is nothing to restore.
  EXPECT_EQ(details[1], a + ": " + script.boxes[2].text + "\r\n" + b + ": restored\r\n" + c +
                            ": restored\r\n" + d + ": Resume fail,no used backup file is exist");
}

TEST_F(DialogPassProgressTest, TheSummaryHasTheFocusAfterAClickDuringThePass) {
  HWND shownBy = nullptr;
  script.showOnScreen = [](const ShownBox& box) { return box.text.ends_with("successful"); };
  script.closeOpenedDialogs = false;
  script.onBox = [&](const ShownBox& box) {
    if (box.text != kNoIndex) return;
    PostClick(Item(shownBy, IDC_RESTORE));
    PostClick(shownBy);
  };
  script.Run(dlg,
             {[&](HWND dialog) {
                shownBy = dialog;
                Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                Click(dialog, IDC_MODIFY);
              },
              // Runs while the summary is on the screen.
              [&](HWND dialog) {
                HWND box = GetLastActivePopup(dialog);
                ASSERT_NE(box, dialog) << "the summary is shown";
                HWND focus = GetFocus();
                EXPECT_TRUE(focus == box || IsChild(box, focus));
                EXPECT_EQ(TextOf(box), platform::Widen(ApplicationName()));
                EXPECT_EQ(TextOf(GetDlgItem(box, IDC_BOX_TEXT)), L"Modify 2 file successful");
                EXPECT_NE(GetDlgItem(box, IDC_BOX_DETAILS), nullptr) << "with its details";
                PressKey(dialog, VK_RETURN);
              },
              TheSummaryIsClosedBy("Enter"), [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  EXPECT_EQ(Texts(script.boxes), (std::vector<std::string>{kNoIndex, "Modify 2 file successful"}))
      << "the click on Restore came to nothing";
  EXPECT_FALSE(script.leftOpen);
}

// A whole disk's summary: a line of details for each of hundreds of folders, more text than an
// edit control takes from the keyboard.
TEST_F(DialogPassProgressTest, ALongReportScrollsInABoxThatFitsTheScreenAndGrows) {
  constexpr int kFolders = 500;
  for (int i = 0; i < kFolders; ++i) {
    fs::create_directories(tree / ("disc" + std::to_string(i)) / "BDMV");
  }
  script.showOnScreen = [](const ShownBox& box) { return box.text.ends_with("successful"); };
  script.closeOpenedDialogs = false;
  std::string report;
  script.onBox = [&](const ShownBox& box) { report = box.details; };
  script.Run(dlg,
             {[&](HWND dialog) {
                Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                Click(dialog, IDC_MODIFY);
              },
              // Runs while the summary is on the screen.
              [&](HWND dialog) {
                HWND box = GetLastActivePopup(dialog);
                ASSERT_NE(box, dialog) << "the summary is shown";
                HWND details = GetDlgItem(box, IDC_BOX_DETAILS);
                ASSERT_NE(details, nullptr);
                EXPECT_GT(report.size(), 32767u);
                EXPECT_EQ(TextOf(details), platform::Widen(report)) << "the whole report";
                EXPECT_TRUE(GetWindowLongW(details, GWL_STYLE) & ES_READONLY);
                EXPECT_NE(SendDlgItemMessageW(box, IDC_BOX_ICON, STM_GETICON, 0, 0), 0);

                MONITORINFO monitor{};
                monitor.cbSize = sizeof monitor;
                GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTONEAREST), &monitor);
                RECT window;
                GetWindowRect(box, &window);
                EXPECT_TRUE(Contains(monitor.rcWork, window)) << "the box fits the screen";

                SCROLLINFO scroll{};
                scroll.cbSize = sizeof scroll;
                scroll.fMask = SIF_ALL;
                ASSERT_TRUE(GetScrollInfo(details, SB_VERT, &scroll));
                EXPECT_GT(scroll.nMax - scroll.nMin + 1, static_cast<int>(scroll.nPage));
                SendMessageW(details, WM_VSCROLL, SB_BOTTOM, 0);
                EXPECT_GT(SendMessageW(details, EM_GETFIRSTVISIBLELINE, 0, 0), kFolders / 2)
                    << "the details scroll to their end";

                // Dragged larger, the details take the room, and OK keeps to the corner.
                const RECT detailsBefore = PlaceIn(box, details);
                const RECT okBefore = PlaceIn(box, GetDlgItem(box, IDOK));
                EXPECT_TRUE(GetWindowLongW(box, GWL_STYLE) & WS_THICKFRAME);
                SetWindowPos(box, nullptr, 0, 0, window.right - window.left + 100,
                             window.bottom - window.top + 60, SWP_NOMOVE | SWP_NOZORDER);
                const RECT detailsAfter = PlaceIn(box, details);
                const RECT okAfter = PlaceIn(box, GetDlgItem(box, IDOK));
                EXPECT_EQ(detailsAfter.right - detailsBefore.right, 100);
                EXPECT_EQ(detailsAfter.bottom - detailsBefore.bottom, 60);
                EXPECT_EQ(detailsAfter.top, detailsBefore.top);
                EXPECT_EQ(okAfter.left - okBefore.left, 100);
                EXPECT_EQ(okAfter.top - okBefore.top, 60);
                // Not smaller than it came.
                SetWindowPos(box, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
                RECT shrunk;
                GetWindowRect(box, &shrunk);
                EXPECT_EQ(shrunk.right - shrunk.left, window.right - window.left);
                PressKey(dialog, VK_ESCAPE);
              },
              TheSummaryIsClosedBy("Escape"), [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  EXPECT_EQ(script.boxes.size(), kFolders + 2u)
      << "a box for each folder without an index file, \"a\" too, then the summary";
  EXPECT_FALSE(script.leftOpen);
}

TEST_F(DialogPassProgressTest, AltSpaceOpensTheSystemMenuAndPressesNoButton) {
  bool menuOpened = false;
  script.Run(dlg, {[&](HWND dialog) {
                     Type(dialog, IDC_FOLDER_PATH, tree.Root().string());
                     SetFocus(Item(dialog, IDC_MODIFY));
                     HWND focus = GetFocus();
                     PostMessageW(focus, WM_SYSKEYDOWN, VK_SPACE, 0x20390001);
                     PostMessageW(focus, WM_SYSKEYUP, VK_SPACE, 0xE0390001);
                   },
                   // Runs inside the menu's own loop while it is open.
                   [&](HWND) {
                     GUITHREADINFO thread{};
                     thread.cbSize = sizeof thread;
                     GetGUIThreadInfo(GetCurrentThreadId(), &thread);
                     menuOpened = thread.flags & GUI_INMENUMODE;
                     EndMenu();
                   },
                   [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }});
  EXPECT_TRUE(menuOpened);
  EXPECT_TRUE(script.boxes.empty()) << "no pass ran";
  EXPECT_EQ(IndexSize("b"), 64u);
  EXPECT_FALSE(script.leftOpen);
}

}  // namespace
