#include "tests/win32/dialog_script.h"

#include <algorithm>
#include <filesystem>

#include "app/folder_browser.h"
#include "app/message_box.h"
#include "app/window_text.h"
#include "platform/utf16_win32.h"

namespace testing_support {
namespace {

DialogScript* g_running = nullptr;  // dialogs, their timers and hooks live on one thread
constexpr UINT kStepInterval = 20;  // milliseconds

}  // namespace

DialogScript::DialogScript() {
  SetMessageBoxHook([this](HWND owner, const std::string& text, const std::string& caption,
                           UINT type, const std::string& details) {
    boxes.push_back({owner, text, caption, type, details});
    if (onBox) onBox(boxes.back());
    return !(showOnScreen && showOnScreen(boxes.back()));
  });
  SetFolderBrowserHook([this](HWND, const std::string& prompt, BrowseItems items) {
    browserPrompts.push_back(prompt);
    browserItems.push_back(items);
    return m_browserAnswer;
  });
}

DialogScript::~DialogScript() {
  SetMessageBoxHook(nullptr);
  SetFolderBrowserHook(nullptr);
}

INT_PTR DialogScript::Run(CDialog& dialog, std::vector<Step> steps) {
  m_dialog = &dialog;
  m_steps = std::move(steps);
  m_next = 0;
  g_running = this;
  m_hook = SetWindowsHookExW(WH_CBT, OnActivate, nullptr, GetCurrentThreadId());
  m_timer = SetTimer(nullptr, 0, kStepInterval, Tick);
  const INT_PTR result = dialog.DoModal();
  KillTimer(nullptr, m_timer);
  UnhookWindowsHookEx(m_hook);
  g_running = nullptr;
  return result;
}

void CALLBACK DialogScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
  DialogScript* script = g_running;
  HWND dialog = script ? script->m_dialog->GetSafeHwnd() : nullptr;
  if (!dialog) return;
  if (script->m_next < script->m_steps.size()) {
    // Taken before it runs: a step that opens a modal box lets ticks come in meanwhile.
    const Step& step = script->m_steps[script->m_next++];
    step(dialog);
  } else if (script->m_next++ == script->m_steps.size() + 10) {
    script->leftOpen = true;
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }
}

LRESULT CALLBACK DialogScript::OnActivate(int code, WPARAM wParam, LPARAM lParam) {
  DialogScript* script = g_running;
  HWND window = reinterpret_cast<HWND>(wParam);
  // A window can be activated more than once; it counts once.
  if (code == HCBT_ACTIVATE && script && window && window != script->m_dialog->GetSafeHwnd() &&
      std::find(script->m_opened.begin(), script->m_opened.end(), window) ==
          script->m_opened.end()) {
    script->m_opened.push_back(window);
    script->openedDialogs.push_back(platform::Narrow(TextOf(window)));
    HWND firstStatic = FindWindowExW(window, nullptr, L"Static", nullptr);
    // An icon's static control holds the icon's resource id as its text.
    while (firstStatic && (GetWindowLongW(firstStatic, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      firstStatic = FindWindowExW(window, firstStatic, L"Static", nullptr);
    }
    script->openedTexts.push_back(firstStatic ? platform::Narrow(TextOf(firstStatic)) : "");
    HWND ok = GetDlgItem(window, IDOK);
    script->openedOkTexts.push_back(ok ? platform::Narrow(TextOf(ok)) : "");
    if (script->closeOpenedDialogs) PostMessageW(window, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

HWND Item(HWND dialog, int id) {
  if (HWND item = GetDlgItem(dialog, id)) return item;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!(GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT)) continue;
    if (HWND item = GetDlgItem(child, id)) return item;
  }
  return nullptr;
}

void Type(HWND dialog, int id, const std::string& text) {
  SetWindowTextW(Item(dialog, id), std::filesystem::path(text).wstring().c_str());
}

void Click(HWND dialog, int id) {
  SendMessageW(Item(dialog, id), BM_CLICK, 0, 0);
}

void PostClick(HWND window) {
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
}

std::vector<std::string> Texts(const std::vector<ShownBox>& boxes) {
  std::vector<std::string> texts;
  for (const auto& box : boxes) texts.push_back(box.text);
  return texts;
}

void PressKey(HWND dialog, WPARAM key) {
  HWND focus = GetFocus();
  PostMessageW(focus ? focus : dialog, WM_KEYDOWN, key, 1);
  PostMessageW(focus ? focus : dialog, WM_KEYUP, key, 0xC0000001);
}

std::wstring TextOf(HWND window) {
  return WindowText(window);
}

RECT PlaceIn(HWND dialog, HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool Contains(const RECT& outer, const RECT& inner) {
  RECT common;
  return IntersectRect(&common, &outer, &inner) && EqualRect(&common, &inner);
}

bool Overlap(const RECT& a, const RECT& b) {
  RECT common;
  return IntersectRect(&common, &a, &b);
}

}  // namespace testing_support
