#include "ui/dialog_front_end.h"

#include <shellapi.h>

namespace {

constexpr ULONGLONG kPaintInterval = 50;  // milliseconds

void DropInput() {
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_DROPFILES, WM_DROPFILES, PM_REMOVE)) {
    DragFinish(reinterpret_cast<HDROP>(message.wParam));
  }
  while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
  }
}

}  // namespace

DialogFrontEnd::~DialogFrontEnd() {
  DropInput();
}

void DialogFrontEnd::DirectoryVisited(const std::string&) {
  KeepPainted();
}

void DialogFrontEnd::KeepPainted() {
  const ULONGLONG now = GetTickCount64();
  if (now - m_lastPainted < kPaintInterval) return;
  m_lastPainted = now;
  DropInput();
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&message);
}
