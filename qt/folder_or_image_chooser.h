#pragma once

#include <QFileDialog>

// A chooser that takes a folder or a disc image (*.iso): Qt's own, as no desktop chooser takes
// both. A folder selected in the list is chosen with the accept button; activating it opens it.
class FolderOrImageChooser : public QFileDialog {
 public:
  FolderOrImageChooser(QWidget* owner, const QString& prompt, const QString& start);

  // The chosen folder or image once accepted.
  QString ChosenPath() const;

 protected:
  void accept() override;
};
