#pragma once

#include <windows.h>

#include <string>

#include "app/message_front_end.h"

// The main dialog's side of a pass. A pass over a whole disk can take minutes on the dialog's
// own thread: meanwhile the dialog is repainted, and the input given to it is dropped, so that
// it takes none until the pass has ended.
class DialogFrontEnd : public MessageBoxFrontEnd {
 public:
  explicit DialogFrontEnd(HWND dialog) : MessageBoxFrontEnd(dialog) {}
  ~DialogFrontEnd() override;
  DialogFrontEnd(const DialogFrontEnd&) = delete;
  DialogFrontEnd& operator=(const DialogFrontEnd&) = delete;

  void DirectoryVisited(const std::string& path) override;

 private:
  void KeepPainted();

  ULONGLONG m_lastPainted = 0;
};
