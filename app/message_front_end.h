#pragma once

#include <windows.h>

#include "pass/pass_front_end.h"
#include "pass/pass_report.h"

// A pass's message in a message box owned by `owner`: the exclamation icon, or the stop icon for
// a file error; the details hold the report for the summary, the system's description of a
// failure for any other message.
void ShowPassMessageBox(HWND owner, const PassMessage& message, const PassReport& report);

// Shows a pass's messages in message boxes owned by a dialog, with no folders to list.
class MessageBoxFrontEnd : public PassFrontEnd {
 public:
  explicit MessageBoxFrontEnd(HWND owner) : m_hOwner(owner) {}

  void ShowMessage(const PassMessage& message) override;

 private:
  HWND m_hOwner;
};
