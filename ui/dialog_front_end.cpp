#include "ui/dialog_front_end.h"

#include <shellapi.h>

#include "app/message_box.h"

namespace {

// Often enough for Cancel to answer at once, seldom enough to cost the walk nothing.
constexpr ULONGLONG kTickInterval = 50;  // milliseconds

// The keyboard's and the mouse's messages, the window frame's included.
constexpr UINT kInputRanges[][2] = {
    {WM_KEYFIRST, WM_KEYLAST},
    {WM_MOUSEFIRST, WM_MOUSELAST},
    {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
};

}  // namespace

DialogFrontEnd::DialogFrontEnd(HWND dialog)
    : MessageBoxFrontEnd(dialog),
      m_hFocusBefore(GetFocus()),
      m_taskbar(dialog),
      m_progress(std::make_unique<ProgressStrip>(dialog)) {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

DialogFrontEnd::~DialogFrontEnd() {
  RemoveProgress();
  TakeInput();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void DialogFrontEnd::ShowMessage(const PassMessage& message) {
  // Every message but a folder's ends the pass: its box stands alone, and no click given
  // meanwhile may reach the dialog behind it.
  if (message.kind != PassMessage::Kind::kFolder) {
    RemoveProgress();
    TakeInput();
  } else if (m_progress) {
    m_progress->Update(m_directories, m_handled, m_current);
  }
  const UINT icon = message.icon == PassMessage::Icon::kStop ? MB_ICONSTOP : MB_ICONEXCLAMATION;
  ShowMessageBox(m_hOwner, BoxText(message), icon, m_report.Details(message, "\r\n"));
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void DialogFrontEnd::DirectoryVisited(const std::string& path) {
  ++m_directories;
  Tick(path);
}

void DialogFrontEnd::FolderUnreadable(const std::string& path, const std::string& cause) {
  m_report.FolderUnreadable(path, cause);
  Tick(path);
}

void DialogFrontEnd::FolderStarted(const std::string& path) {
  Tick(path);
}

void DialogFrontEnd::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  if (outcome.Counted()) ++m_handled;
  m_report.FolderHandled(path, outcome);
  Tick(path);
}

bool DialogFrontEnd::CancelRequested() {
  Tick(m_current);
  return m_bCancel;
}

HCURSOR DialogFrontEnd::CursorOver(HWND window) const {
  const bool cancel = m_progress && window == m_progress->CancelButton();
  return LoadCursorA(nullptr, cancel ? IDC_ARROW : IDC_WAIT);
}

void DialogFrontEnd::Tick(const std::string& current) {
  m_current = current;
  const ULONGLONG now = GetTickCount64();
  if (now - m_lastTick < kTickInterval) return;
  m_lastTick = now;
  if (m_progress) m_progress->Update(m_directories, m_handled, m_current);
  TakeInput();
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&message);
}

// Input for the Cancel button goes to it, Escape or Close cancel, and everything else is
// dropped. Other posted messages wait for the dialog's own loop.
void DialogFrontEnd::TakeInput() {
  HWND cancel = m_progress ? m_progress->CancelButton() : nullptr;
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_DROPFILES, WM_DROPFILES, PM_REMOVE)) {
    DragFinish(reinterpret_cast<HDROP>(message.wParam));
  }
  // The task bar's Close, for one, comes as a posted system command.
  while (PeekMessageW(&message, m_hOwner, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE)) {
    if ((message.wParam & 0xFFF0) == SC_CLOSE) m_bCancel = true;
  }
  for (const auto& range : kInputRanges) {
    while (PeekMessageW(&message, nullptr, range[0], range[1], PM_REMOVE)) {
      if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
        m_bCancel = true;
      } else if (cancel && message.hwnd == cancel) {
        DispatchMessageW(&message);
      }
    }
  }
}

void DialogFrontEnd::RemoveProgress() {
  if (!m_progress) return;
  const bool hadFocus = GetFocus() == m_progress->CancelButton();
  m_progress.reset();
  if (hadFocus && IsWindow(m_hFocusBefore)) SetFocus(m_hFocusBefore);
}
