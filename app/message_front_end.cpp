#include "app/message_front_end.h"

#include "app/message_box.h"
#include "pass/pass_report.h"

void MessageBoxFrontEnd::ShowMessage(const PassMessage& message) {
  // No folders to list here: the details hold the system's description of a failure.
  ShowMessageBox(m_hOwner, BoxText(message),
                 message.icon == PassMessage::Icon::kStop ? MB_ICONSTOP : MB_ICONEXCLAMATION,
                 PassReport().Details(message, "\r\n"));
}
