#include "ui/folder_patch_dlg.h"

#include <utility>

#include "app/about_box.h"
#include "app/folder_browser.h"
#include "app/given_folder.h"
#include "app/message_box.h"
#include "app/resource_string.h"
#include "pass/pass_guard.h"
#include "resource.h"
#include "ui/dialog_front_end.h"

CFolderPatchDlg::CFolderPatchDlg(HWND parent, PassClock passClock)
    : CDialog(IDD_MAIN, parent),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN))),
      m_passClock(std::move(passClock)) {}

const MessageMap& CFolderPatchDlg::GetMessageMap() const {
  static const MessageMap messages = {
      OnSysCommandEntry(&CFolderPatchDlg::OnSysCommand),
      OnPaintEntry(&CFolderPatchDlg::OnPaint),
      OnQueryDragIconEntry(&CFolderPatchDlg::OnQueryDragIcon),
      OnSetCursorEntry(&CFolderPatchDlg::OnSetCursor),
      OnCloseEntry(&CFolderPatchDlg::OnClose),
      OnDropFilesEntry(&CFolderPatchDlg::OnDropFiles),
      OnClickedEntry(IDC_BROWSE, &CFolderPatchDlg::OnBrowse),
      OnClickedEntry(IDC_MODIFY, &CFolderPatchDlg::OnModify),
      OnClickedEntry(IDC_RESTORE, &CFolderPatchDlg::OnRestore),
      OnClickedEntry(IDC_CANCEL_PASS, &CFolderPatchDlg::OnCancelPass),
  };
  return messages;
}

void CFolderPatchDlg::DoDataExchange(CDataExchange* pDX) {
  ExchangeText(pDX, IDC_FOLDER_PATH, m_strFolderPath);
  ExchangeCheck(pDX, IDC_CONVERT_3D, m_bConvert3DTo2D);
  ExchangeCheck(pDX, IDC_DISC_IMAGES, m_bDiscImages);
}

BOOL CFolderPatchDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE)) {
    const std::wstring about = LoadResourceString(IDS_ABOUTBOX);
    if (!about.empty()) {
      AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
  }
  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
  AcceptDroppedFolders(m_hWnd);
  // Posted, the click comes once the dialog is on the screen, as the user's would.
  if (m_nPassButton != 0) {
    PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(m_nPassButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(m_hWnd, m_nPassButton)));
  }
  return TRUE;
}

void CFolderPatchDlg::OnSysCommand(UINT id, LPARAM) {
  if ((id & 0xFFF0) == IDM_ABOUTBOX) {
    CAboutBox about(m_hWnd);
    about.DoModal();
  } else {
    Default();
  }
}

// Minimised, the dialog shows its icon in the middle of its client area.
void CFolderPatchDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) {
    Default();
    return;
  }
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(m_hWnd, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &paint);
}

HCURSOR CFolderPatchDlg::OnQueryDragIcon() {
  return static_cast<HCURSOR>(m_hIcon);
}

bool CFolderPatchDlg::OnSetCursor(HWND window) {
  if (!m_pPass) return false;
  SetCursor(m_pPass->CursorOver(window));
  return true;
}

// The dialog manager would post the cancel command, which would wait for the pass and then
// close the dialog.
void CFolderPatchDlg::OnClose() {
  if (m_pPass) {
    m_pPass->RequestCancel();
  } else {
    Default();
  }
}

void CFolderPatchDlg::OnDropFiles(HDROP drop) {
  if (m_pPass) {
    DragFinish(drop);
    return;
  }
  FillFolderPath(TakeDroppedPath(drop));
}

// With disc images ticked, an image can be chosen as well as a folder.
void CFolderPatchDlg::OnBrowse() {
  UpdateData(true);
  const BrowseItems items = m_bDiscImages ? BrowseItems::kFoldersAndFiles : BrowseItems::kFolders;
  FillFolderPath(BrowseForFolder(m_hWnd, "Please select folder path", items));
}

void CFolderPatchDlg::FillFolderPath(const std::optional<std::string>& folder) {
  if (!folder) {
    ShowMessageBox(m_hWnd, "invalid floder,please choose floder again.", MB_ICONEXCLAMATION);
    return;
  }
  UpdateData(true);
  m_strFolderPath = *folder;
  UpdateData(false);
}

void CFolderPatchDlg::OnModify() {
  UpdateData(true);
  RunPass([this](PassFrontEnd& frontEnd) {
    RunModifyPass(m_strFolderPath, m_bConvert3DTo2D, frontEnd, Walk());
  });
}

void CFolderPatchDlg::OnRestore() {
  UpdateData(true);
  RunPass([this](PassFrontEnd& frontEnd) { RunRestorePass(m_strFolderPath, frontEnd, Walk()); });
}

WalkOptions CFolderPatchDlg::Walk() const {
  return WalkOptions{.images = m_bDiscImages != 0};
}

void CFolderPatchDlg::OnCancelPass() {
  if (m_pPass) m_pPass->RequestCancel();
}

void CFolderPatchDlg::OnCancel() {
  if (m_pPass) {
    m_pPass->RequestCancel();
    return;
  }
  CDialog::OnCancel();
}

void CFolderPatchDlg::RunPass(const std::function<void(PassFrontEnd& frontEnd)>& pass) {
  DialogFrontEnd frontEnd(m_hWnd, m_passClock);
  m_pPass = &frontEnd;
  // However the pass ends, the dialog is idle again after it.
  struct Idle {
    DialogFrontEnd*& pass;
    ~Idle() { pass = nullptr; }
  } idle{m_pPass};
  // A file error is shown by the pass's own front end, which knows the folder in hand and keeps
  // the progress up behind its box.
  RunGuarded(frontEnd, [&] { pass(frontEnd); });
}
