#include "app/message_front_end.h"

#include "app/message_box.h"

void MessageBoxFrontEnd::ShowMessage(const PassMessage& message) {
  ShowMessageBox(m_hOwner, message.text,
                 message.icon == PassMessage::Icon::kStop ? MB_ICONSTOP : MB_ICONEXCLAMATION);
}
