#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <vector>

class CDialog;

// One row of a dialog's message table: the window message (and for WM_COMMAND the control id)
// and the handler it runs. The handler returns the message's result.
struct MessageMapEntry {
  UINT message;
  UINT id;  // WM_COMMAND: the control whose button was clicked; 0 otherwise
  std::function<INT_PTR(CDialog& dialog, WPARAM wParam, LPARAM lParam)> handler;
};

using MessageMap = std::vector<MessageMapEntry>;

// Rows for the messages Quorvel's dialogs handle, each calling a member of Dialog.

template <class Dialog>
MessageMapEntry OnSysCommandEntry(void (Dialog::*handler)(UINT id, LPARAM lParam)) {
  return {WM_SYSCOMMAND, 0, [handler](CDialog& dialog, WPARAM wParam, LPARAM lParam) {
            (static_cast<Dialog&>(dialog).*handler)(static_cast<UINT>(wParam), lParam);
            return INT_PTR{TRUE};
          }};
}

template <class Dialog>
MessageMapEntry OnPaintEntry(void (Dialog::*handler)()) {
  return {WM_PAINT, 0, [handler](CDialog& dialog, WPARAM, LPARAM) {
            (static_cast<Dialog&>(dialog).*handler)();
            return INT_PTR{TRUE};
          }};
}

// The dialog procedure returns this message's result itself.
template <class Dialog>
MessageMapEntry OnQueryDragIconEntry(HCURSOR (Dialog::*handler)()) {
  return {WM_QUERYDRAGICON, 0, [handler](CDialog& dialog, WPARAM, LPARAM) {
            return reinterpret_cast<INT_PTR>((static_cast<Dialog&>(dialog).*handler)());
          }};
}

// The new size of the client area, in pixels.
template <class Dialog>
MessageMapEntry OnSizeEntry(void (Dialog::*handler)(int width, int height)) {
  return {WM_SIZE, 0, [handler](CDialog& dialog, WPARAM, LPARAM lParam) {
            (static_cast<Dialog&>(dialog).*handler)(LOWORD(lParam), HIWORD(lParam));
            return INT_PTR{TRUE};
          }};
}

template <class Dialog>
MessageMapEntry OnGetMinMaxInfoEntry(void (Dialog::*handler)(MINMAXINFO& limits)) {
  return {WM_GETMINMAXINFO, 0, [handler](CDialog& dialog, WPARAM, LPARAM lParam) {
            (static_cast<Dialog&>(dialog).*handler)(*reinterpret_cast<MINMAXINFO*>(lParam));
            return INT_PTR{TRUE};
          }};
}

template <class Dialog>
MessageMapEntry OnCloseEntry(void (Dialog::*handler)()) {
  return {WM_CLOSE, 0, [handler](CDialog& dialog, WPARAM, LPARAM) {
            (static_cast<Dialog&>(dialog).*handler)();
            return INT_PTR{TRUE};
          }};
}

// The handler sets the cursor itself and returns true, or false for the default one.
template <class Dialog>
MessageMapEntry OnSetCursorEntry(bool (Dialog::*handler)(HWND window)) {
  return {WM_SETCURSOR, 0, [handler](CDialog& dialog, WPARAM wParam, LPARAM) {
            const bool set =
                (static_cast<Dialog&>(dialog).*handler)(reinterpret_cast<HWND>(wParam));
            if (set)
              SetWindowLongPtrW(static_cast<Dialog&>(dialog).GetSafeHwnd(), DWLP_MSGRESULT, TRUE);
            return INT_PTR{set};
          }};
}

template <class Dialog>
MessageMapEntry OnDropFilesEntry(void (Dialog::*handler)(HDROP drop)) {
  return {WM_DROPFILES, 0, [handler](CDialog& dialog, WPARAM wParam, LPARAM) {
            (static_cast<Dialog&>(dialog).*handler)(reinterpret_cast<HDROP>(wParam));
            return INT_PTR{TRUE};
          }};
}

template <class Dialog>
MessageMapEntry OnClickedEntry(UINT id, void (Dialog::*handler)()) {
  return {WM_COMMAND, id, [handler](CDialog& dialog, WPARAM, LPARAM) {
            (static_cast<Dialog&>(dialog).*handler)();
            return INT_PTR{TRUE};
          }};
}
