#include "tests/qt/scripted_prompts.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

void ScriptedPrompts::ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon) {
  shown.push_back({owner, text, icon});
  if (onMessage) onMessage(shown.back());
}

QString ScriptedPrompts::ChooseFolder(QWidget* owner, const QString& prompt) {
  folderPrompts.push_back(prompt);
  folderOwners.push_back(owner);
  return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
}

QStringList ScriptedPrompts::Texts() const {
  QStringList texts;
  for (const Shown& message : shown) texts.push_back(message.text);
  return texts;
}

namespace {

void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act) {
  QTimer::singleShot(10, [find, act] {
    if (QWidget* widget = find(); widget && widget->isVisible()) {
      act(widget);
    } else {
      WhenShown(find, act);
    }
  });
}

}  // namespace

void WhenPopup(std::function<void(QWidget*)> act) {
  WhenShown([] { return QApplication::activePopupWidget(); }, std::move(act));
}

void WhenModal(std::function<void(QWidget*)> act) {
  WhenShown([] { return QApplication::activeModalWidget(); }, std::move(act));
}
