#include "ui/progress_strip.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/utf16_win32.h"
#include "resource.h"

namespace {

// The Cancel button's click goes on to the main dialog, as if the button were its own. The
// focus stays where the pass found it.
INT_PTR CALLBACK PassCommandsOn(HWND strip, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COMMAND) return FALSE;
  SendMessageW(GetParent(strip), message, wParam, lParam);
  return TRUE;
}

HWND CreateStrip(HWND dialog) {
  // The bar's window class is the common controls', there only once they are asked for.
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS_STRIP), dialog,
                            PassCommandsOn, 0);
}

}  // namespace

ProgressStrip::ProgressStrip(HWND dialog)
    : m_hStrip(CreateStrip(dialog)),
      m_hCancel(GetDlgItem(m_hStrip, IDC_CANCEL_PASS)),
      m_hBar(GetDlgItem(m_hStrip, IDC_PROGRESS_BAR)) {
  Update({});
}

ProgressStrip::~ProgressStrip() {
  if (m_hStrip) DestroyWindow(m_hStrip);
}

void ProgressStrip::Update(const PassProgress& progress) {
  SetDlgItemTextW(m_hStrip, IDC_PROGRESS_TEXT, platform::Widen(ProgressText(progress)).c_str());
  UpdateBar(progress);
  SetDlgItemTextW(m_hStrip, IDC_PROGRESS_CURRENT, platform::Widen(progress.current).c_str());
}

// A marquee while the discs are looked for, as nobody knows yet how many there are; then the disc
// at hand of those found. The marquee is set only as the phase changes: set again, it restarts.
void ProgressStrip::UpdateBar(const PassProgress& progress) {
  const LONG_PTR style = GetWindowLongPtrW(m_hBar, GWL_STYLE);
  if (progress.searching != ((style & PBS_MARQUEE) != 0)) {
    if (!progress.searching) SendMessageW(m_hBar, PBM_SETMARQUEE, FALSE, 0);
    SetWindowLongPtrW(m_hBar, GWL_STYLE,
                      progress.searching ? style | PBS_MARQUEE : style & ~LONG_PTR{PBS_MARQUEE});
    if (progress.searching) SendMessageW(m_hBar, PBM_SETMARQUEE, TRUE, 0);
  }
  if (progress.searching) return;
  // With no disc found, an empty bar.
  SendMessageW(m_hBar, PBM_SETRANGE32, 0, std::max(progress.found, 1L));
  SendMessageW(m_hBar, PBM_SETPOS, static_cast<WPARAM>(progress.disc), 0);
}
