#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/dialog.h"

// A message box with details that can run to a whole disk's worth of lines: its text and icon
// (MB_ICONEXCLAMATION, MB_ICONSTOP) above the details, which stay in a read-only text the user
// scrolls, selects and copies. The box can be made larger than its template, not smaller; OK,
// Enter and Escape close it.
class CDetailsBox : public CDialog {
 public:
  CDetailsBox(HWND owner, std::wstring caption, std::wstring text, UINT icon, std::wstring details);

 protected:
  BOOL OnInitDialog() override;
  const MessageMap& GetMessageMap() const override;

  void OnSize(int width, int height);
  void OnGetMinMaxInfo(MINMAXINFO& limits);

 private:
  void RememberTemplateLayout();

  std::wstring m_caption;
  std::wstring m_text;
  UINT m_icon;
  std::wstring m_details;
  // The template's sizes and its controls' places, from which they move or grow with the box.
  SIZE m_templateClient{};
  SIZE m_templateWindow{};
  std::vector<RECT> m_templatePlaces;
};
