#include "qt/user_prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTextEdit>
#include <QWindow>

#include "qt/folder_or_image_chooser.h"

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

// A window manager that focuses on click gives the keyboard to a window clicked behind the box,
// where Qt drops every key: while the box is up, a window of this program that takes the keyboard
// hands it back, so that Enter and Escape still answer the box.
void KeepKeyboard(QMessageBox& box) {
  QObject::connect(qApp, &QGuiApplication::focusWindowChanged, &box, [&box](QWindow* window) {
    if (window && window != box.windowHandle() && box.isVisible()) box.activateWindow();
  });
}

}  // namespace

void DesktopPrompts::ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                                 const QString& details) {
  QMessageBox box(icon == PassMessage::Icon::kStop ? QMessageBox::Critical : QMessageBox::Warning,
                  ExecutableName(), text, QMessageBox::Ok, owner);
  if (!details.isEmpty()) ShowDetails(box, details);
  box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  KeepKeyboard(box);
  box.exec();
}

QString DesktopPrompts::ChooseFolder(QWidget* owner, const QString& prompt, Choice choice) {
  if (choice == Choice::kFolder) {
    return QFileDialog::getExistingDirectory(owner, prompt, QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
  }
  FolderOrImageChooser chooser(owner, prompt, QDir::homePath());
  return chooser.exec() == QDialog::Accepted ? chooser.ChosenPath() : QString();
}

QString ExecutableName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}
