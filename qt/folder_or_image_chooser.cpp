#include "qt/folder_or_image_chooser.h"

#include <QFileInfo>

FolderOrImageChooser::FolderOrImageChooser(QWidget* owner, const QString& prompt,
                                           const QString& start)
    : QFileDialog(owner, prompt, start, "Folders and disc images (*.iso)") {
  setOption(QFileDialog::DontUseNativeDialog);
  setFileMode(QFileDialog::ExistingFile);
}

QString FolderOrImageChooser::ChosenPath() const {
  return selectedFiles().value(0);
}

// An existing-file chooser would open the selected folder instead of choosing it.
void FolderOrImageChooser::accept() {
  const QStringList selected = selectedFiles();
  if (selected.size() == 1 && QFileInfo(selected.front()).isDir()) {
    QDialog::accept();
    return;
  }
  QFileDialog::accept();
}
