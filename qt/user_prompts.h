#pragma once

#include <QString>

#include "pass/pass_front_end.h"

class QWidget;

// The boxes the dialog puts in front of the user. Tests answer them through this seam, since a
// desktop's native folder chooser would wait for a user that CI does not have.
class UserPrompts {
 public:
  virtual ~UserPrompts() = default;

  // An OK-only message box modal to `owner`; returns once the user has dismissed it. Non-empty
  // `details` go in a part the user can open, select and copy.
  virtual void ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                           const QString& details = {}) = 0;

  // What the folder chooser offers: folders alone, or disc images (*.iso) as well.
  enum class Choice { kFolder, kFolderOrImage };

  // The desktop's folder chooser, or for an image too Qt's own. Returns the chosen path, or an
  // empty string when the user cancelled or chose something that is not on the file system.
  virtual QString ChooseFolder(QWidget* owner, const QString& prompt, Choice choice) = 0;
};

// The real boxes: QMessageBox and the desktop's folder chooser.
class DesktopPrompts : public UserPrompts {
 public:
  void ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                   const QString& details = {}) override;
  QString ChooseFolder(QWidget* owner, const QString& prompt, Choice choice) override;
};

// The executable's file name without directory and extension: every message box's caption.
QString ExecutableName();
