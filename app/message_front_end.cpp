#include "app/message_front_end.h"

#include "app/message_box.h"

void ShowPassMessageBox(HWND owner, const PassMessage& message, const PassReport& report) {
  ShowMessageBox(owner, BoxText(message),
                 message.icon == PassMessage::Icon::kStop ? MB_ICONSTOP : MB_ICONEXCLAMATION,
                 report.Details(message, "\r\n"));
}

void MessageBoxFrontEnd::ShowMessage(const PassMessage& message) {
  ShowPassMessageBox(m_hOwner, message, PassReport());
}
