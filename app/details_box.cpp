#include "app/details_box.h"

#include <utility>

#include "resource.h"

namespace {

// How each control follows the box's growth: the text widens, the details take the rest of the
// room, and OK keeps to the bottom right corner.
struct Follow {
  int id;
  bool moves;
  bool widens;
  bool deepens;
};
constexpr Follow kFollows[] = {
    {IDC_BOX_TEXT, false, true, false},
    {IDC_BOX_DETAILS, false, true, true},
    {IDOK, true, false, false},
};

SIZE SizeOf(const RECT& rect) {
  return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

CDetailsBox::CDetailsBox(HWND owner, std::wstring caption, std::wstring text, UINT icon,
                         std::wstring details)
    : CDialog(IDD_DETAILS_BOX, owner),
      m_caption(std::move(caption)),
      m_text(std::move(text)),
      m_icon(icon),
      m_details(std::move(details)) {}

const MessageMap& CDetailsBox::GetMessageMap() const {
  static const MessageMap messages = {
      OnSizeEntry(&CDetailsBox::OnSize),
      OnGetMinMaxInfoEntry(&CDetailsBox::OnGetMinMaxInfo),
  };
  return messages;
}

BOOL CDetailsBox::OnInitDialog() {
  SetWindowTextW(m_hWnd, m_caption.c_str());
  SetDlgItemTextW(m_hWnd, IDC_BOX_TEXT, m_text.c_str());
  SetDlgItemTextW(m_hWnd, IDC_BOX_DETAILS, m_details.c_str());
  const HICON icon = LoadIconA(nullptr, m_icon == MB_ICONSTOP ? IDI_ERROR : IDI_WARNING);
  SendDlgItemMessageW(m_hWnd, IDC_BOX_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);

  RememberTemplateLayout();
  MessageBeep(m_icon);
  // As in a message box, Enter is OK's, even once the user has read the details.
  SetFocus(GetDlgItem(m_hWnd, IDOK));
  return FALSE;
}

void CDetailsBox::RememberTemplateLayout() {
  RECT client;
  GetClientRect(m_hWnd, &client);
  m_templateClient = SizeOf(client);
  RECT window;
  GetWindowRect(m_hWnd, &window);
  m_templateWindow = SizeOf(window);
  for (const Follow& follow : kFollows) {
    RECT rect;
    GetWindowRect(GetDlgItem(m_hWnd, follow.id), &rect);
    MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    m_templatePlaces.push_back(rect);
  }
}

void CDetailsBox::OnSize(int width, int height) {
  if (m_templatePlaces.empty()) return;  // still being made
  const int dx = width - m_templateClient.cx;
  const int dy = height - m_templateClient.cy;
  for (std::size_t i = 0; i < m_templatePlaces.size(); ++i) {
    const Follow& follow = kFollows[i];
    const RECT& rect = m_templatePlaces[i];
    const SIZE size = SizeOf(rect);
    SetWindowPos(GetDlgItem(m_hWnd, follow.id), nullptr, rect.left + (follow.moves ? dx : 0),
                 rect.top + (follow.moves ? dy : 0), size.cx + (follow.widens ? dx : 0),
                 size.cy + (follow.deepens ? dy : 0), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CDetailsBox::OnGetMinMaxInfo(MINMAXINFO& limits) {
  if (m_templateWindow.cx == 0) return;  // still being made
  limits.ptMinTrackSize = {m_templateWindow.cx, m_templateWindow.cy};
}
