#include "qt/user_prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

void DesktopPrompts::ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                                 const QString& details) {
  QMessageBox box(icon == PassMessage::Icon::kStop ? QMessageBox::Critical : QMessageBox::Warning,
                  ExecutableName(), text, QMessageBox::Ok, owner);
  if (!details.isEmpty()) box.setDetailedText(details);
  box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  box.exec();
}

QString DesktopPrompts::ChooseFolder(QWidget* owner, const QString& prompt) {
  return QFileDialog::getExistingDirectory(owner, prompt, QDir::homePath(),
                                           QFileDialog::ShowDirsOnly);
}

QString ExecutableName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}
