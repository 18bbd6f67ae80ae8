#include "app/data_exchange.h"

#include "app/window_text.h"
#include "platform/utf16_win32.h"

void ExchangeText(CDataExchange* pDX, int id, std::string& value) {
  HWND control = GetDlgItem(pDX->m_hDialog, id);
  if (!pDX->m_bSaveAndValidate) {
    SetWindowTextW(control, platform::Widen(value).c_str());
    return;
  }
  value = platform::Narrow(WindowText(control));
}

void ExchangeCheck(CDataExchange* pDX, int id, int& value) {
  HWND control = GetDlgItem(pDX->m_hDialog, id);
  if (pDX->m_bSaveAndValidate) {
    value = static_cast<int>(SendMessageW(control, BM_GETCHECK, 0, 0));
    return;
  }
  if (value < 0 || value > 2) value = 0;
  SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}
