#include "ui/dialog_front_end.h"

#include <shellapi.h>

#include <utility>

#include "app/message_front_end.h"

namespace {

// The keyboard's and the mouse's messages, the window frame's included.
constexpr UINT kInputRanges[][2] = {
    {WM_KEYFIRST, WM_KEYLAST},
    {WM_MOUSEFIRST, WM_MOUSELAST},
    {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
};

}  // namespace

DialogFrontEnd::DialogFrontEnd(HWND dialog, PassClock clock)
    : PassPresenter(std::move(clock)),
      m_hDialog(dialog),
      m_hFocusBefore(GetFocus()),
      m_taskbar(dialog) {
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

DialogFrontEnd::~DialogFrontEnd() {
  if (m_progress) RemoveProgress();
  TakeInput();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

HCURSOR DialogFrontEnd::CursorOver(HWND window) const {
  const bool cancel = m_progress && window == m_progress->CancelButton();
  return LoadCursorA(nullptr, cancel ? IDC_ARROW : IDC_WAIT);
}

void DialogFrontEnd::DrawProgress(const PassProgress& progress) {
  if (!m_progress) m_progress = std::make_unique<ProgressStrip>(m_hDialog);
  m_progress->Update(progress);
  if (progress.searching) {
    m_taskbar.ShowBusy();
  } else {
    m_taskbar.ShowDone(progress.disc, progress.found);
  }
}

void DialogFrontEnd::RemoveProgress() {
  const bool hadFocus = GetFocus() == m_progress->CancelButton();
  m_progress.reset();
  if (hadFocus && IsWindow(m_hFocusBefore)) SetFocus(m_hFocusBefore);
}

void DialogFrontEnd::Refresh() {
  TakeInput();
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&message);
}

void DialogFrontEnd::DrawMessage(const PassMessage& message, const PassReport& report) {
  // A box that ends the pass stands alone: no click given meanwhile may reach the dialog behind.
  if (message.kind != PassMessage::Kind::kFolder) TakeInput();
  ShowPassMessageBox(m_hDialog, message, report);
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
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
  while (PeekMessageW(&message, m_hDialog, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE)) {
    if ((message.wParam & 0xFFF0) == SC_CLOSE) RequestCancel();
  }
  for (const auto& range : kInputRanges) {
    while (PeekMessageW(&message, nullptr, range[0], range[1], PM_REMOVE)) {
      if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
        RequestCancel();
      } else if (cancel && message.hwnd == cancel) {
        DispatchMessageW(&message);
      }
    }
  }
}
