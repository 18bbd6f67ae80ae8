#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/dialog.h"
#include "pass/pass_presenter.h"
#include "pass/passes.h"

class DialogFrontEnd;

// The main dialog: a folder path, typed, browsed or dropped, the "Convert 3D to 2D" and "Disc
// images too (.iso)" options, and the Modify and Restore buttons that run a pass over the folder
// (or over the one image the path names). The dialog does no work itself.
class CFolderPatchDlg : public CDialog {
 public:
  // A pass's progress comes up as `passClock` tells the time.
  explicit CFolderPatchDlg(HWND parent = nullptr, PassClock passClock = PassTime);

  std::string m_strFolderPath;
  int m_bConvert3DTo2D = 0;
  int m_bDiscImages = 0;
  // The button (IDC_MODIFY, IDC_RESTORE) pressed for the user once the dialog shows; 0 for none.
  int m_nPassButton = 0;

 protected:
  HICON m_hIcon;

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  const MessageMap& GetMessageMap() const override;
  // While a pass runs, stops it instead: the dialog closes only once no pass runs.
  void OnCancel() override;

  void OnSysCommand(UINT id, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  bool OnSetCursor(HWND window);
  // The close button, Alt+F4 or the system menu's Close: stops a pass that runs.
  void OnClose();
  void OnDropFiles(HDROP drop);
  void OnBrowse();
  void OnModify();
  void OnRestore();
  void OnCancelPass();

 private:
  // Fills the folder path as Browse does: the check box keeps its state, typed text is replaced.
  void FillFolderPath(const std::optional<std::string>& folder);

  // How the passes walk the folder: disc images are targets too while their box is ticked.
  WalkOptions Walk() const;

  // Runs a pass with the dialog's side of it in place.
  void RunPass(const std::function<void(PassFrontEnd& frontEnd)>& pass);

  PassClock m_passClock;
  DialogFrontEnd* m_pPass = nullptr;  // while a pass runs
};
