#pragma once

#include <functional>

#include <QDialog>
#include <QIcon>
#include <QString>

#include "pass/pass_front_end.h"
#include "pass/passes.h"

class QMenu;
class QtFrontEnd;
class UserPrompts;

// The program's only working window: a folder path, the "Convert 3D to 2D" and "Disc images too
// (.iso)" options and the Modify and Restore buttons that run a pass over the folder (or over the
// one image the path names).
class CFolderPatchDlg : public QDialog {
 public:
  explicit CFolderPatchDlg(UserPrompts& prompts, QWidget* parent = nullptr);

  // Copies the controls into the fields when `saveAndValidate`, the fields into the controls
  // otherwise.
  void UpdateData(bool saveAndValidate);

  // Puts `folder` into the edit box as Browse does: the check box keeps its state.
  void SetFolderPath(const QString& folder);

  // The dialog's data, bound to IDC_FOLDER_PATH, IDC_CONVERT_3D and IDC_DISC_IMAGES.
  QString m_strFolderPath;
  int m_bConvert3DTo2D = 0;
  int m_bDiscImages = 0;
  QIcon m_hIcon;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void OnSysCommand(int id);
  void OnBrowse();
  void OnModify();
  void OnRestore();

  // How the passes walk the folder: disc images are targets too while their box is ticked.
  WalkOptions Walk() const;

  // Runs a pass with the dialog as its front end; a file error that ends it is shown here.
  void RunPass(const std::function<void(PassFrontEnd&)>& pass);

  UserPrompts& m_prompts;
  QMenu* m_systemMenu;
  QtFrontEnd* m_pass = nullptr;  // while a pass runs
};
