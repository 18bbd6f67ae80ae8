#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog.h"
#include "app/folder_browser.h"

namespace testing_support {

// A message box the dialog asked for, answered in place of the user.
struct ShownBox {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
  std::string details;
};

// Runs a dialog modally, as the program does, and drives it like a user: each step runs inside
// the dialog's own message loop, once the previous step and everything it posted are done.
// Message boxes and the folder browser are answered through their seams; a dialog that opens
// over it (the About box) is recorded by its caption and closed with its OK button.
class DialogScript {
 public:
  using Step = std::function<void(HWND dialog)>;

  DialogScript();
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  // What the folder browser answers: a path, or nothing for Cancel.
  void AnswerBrowser(std::optional<std::string> answer) { m_browserAnswer = std::move(answer); }

  // Runs the steps and returns DoModal's result. A dialog still open after the last step is
  // cancelled, and `leftOpen` says so.
  INT_PTR Run(CDialog& dialog, std::vector<Step> steps);

  std::vector<ShownBox> boxes;
  std::function<void(const ShownBox&)> onBox;  // runs while the box is "on screen"
  // The boxes this says yes to are shown for real, after onBox; the others are answered.
  std::function<bool(const ShownBox&)> showOnScreen;
  // Dialogs opened over the script's are closed with their OK button, unless this is false.
  bool closeOpenedDialogs = true;
  std::vector<std::string> browserPrompts;
  std::vector<BrowseItems> browserItems;   // what each browser offered
  std::vector<std::string> openedDialogs;  // captions of dialogs opened over the script's
  std::vector<std::string> openedTexts;    // and of each one's first text
  std::vector<std::string> openedOkTexts;  // and of its OK button
  bool leftOpen = false;

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  static LRESULT CALLBACK OnActivate(int code, WPARAM wParam, LPARAM lParam);

  CDialog* m_dialog = nullptr;
  std::vector<Step> m_steps;
  std::size_t m_next = 0;
  UINT_PTR m_timer = 0;
  HHOOK m_hook = nullptr;
  std::vector<HWND> m_opened;
  std::optional<std::string> m_browserAnswer;
};

// A control of the dialog, or of a panel in it (the progress strip).
HWND Item(HWND dialog, int id);
// Sets a control's text, as typing would.
void Type(HWND dialog, int id, const std::string& text);
// Clicks a button at once, inside the step.
void Click(HWND dialog, int id);
// Posts a click on a window, as the mouse would.
void PostClick(HWND window);
std::vector<std::string> Texts(const std::vector<ShownBox>& boxes);

// Posts a key press to the control with the focus, as the keyboard would.
void PressKey(HWND dialog, WPARAM key);

std::wstring TextOf(HWND window);

// A window's place in the client area of `dialog`.
RECT PlaceIn(HWND dialog, HWND window);
bool Contains(const RECT& outer, const RECT& inner);
bool Overlap(const RECT& a, const RECT& b);

}  // namespace testing_support
