#pragma once

#include <optional>
#include <string>

#include "app/dialog.h"

// The main dialog: a folder path, typed, browsed or dropped, the "Convert 3D to 2D" option, and the
// Modify and Restore buttons that run a pass over the folder. The dialog does no work itself.
class CFolderPatchDlg : public CDialog {
 public:
  explicit CFolderPatchDlg(HWND parent = nullptr);

  std::string m_strFolderPath;
  int m_bConvert3DTo2D = 0;

 protected:
  HICON m_hIcon;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  const MessageMap& GetMessageMap() const override;

  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnDropFiles(HDROP drop);
  void OnBrowse();
  void OnModify();
  void OnRestore();

 private:
  // Fills the folder path as Browse does: the check box keeps its state, typed text is replaced.
  void FillFolderPath(const std::optional<std::string>& folder);

  bool m_bPassRunning = false;  // a drop delivered meanwhile comes to nothing
};
