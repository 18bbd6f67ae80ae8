#pragma once

#include <windows.h>

#include "pass/pass_front_end.h"

// Shows a pass's messages in message boxes owned by a dialog: the exclamation icon, or the stop
// icon for a file error, and the system's description of a failure in the details.
class MessageBoxFrontEnd : public PassFrontEnd {
 public:
  explicit MessageBoxFrontEnd(HWND owner) : m_hOwner(owner) {}

  void ShowMessage(const PassMessage& message) override;

 protected:
  HWND m_hOwner;
};
