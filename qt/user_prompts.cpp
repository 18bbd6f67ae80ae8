#include "qt/user_prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextEdit>

namespace {

// Room for a typical path with its outcome on each line.
constexpr int kDetailsWidthInCharacters = 80;

// One folder a line, unwrapped, so that a line stays one path when copied.
void ShowDetails(QMessageBox& box, const QString& details) {
  box.setDetailedText(details);
  if (auto* text = box.findChild<QTextEdit*>()) {
    text->setLineWrapMode(QTextEdit::NoWrap);
    text->setMinimumWidth(text->fontMetrics().averageCharWidth() * kDetailsWidthInCharacters);
  }
}

}  // namespace

void DesktopPrompts::ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                                 const QString& details) {
  QMessageBox box(icon == PassMessage::Icon::kStop ? QMessageBox::Critical : QMessageBox::Warning,
                  ExecutableName(), text, QMessageBox::Ok, owner);
  if (!details.isEmpty()) ShowDetails(box, details);
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
