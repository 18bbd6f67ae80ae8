#include "tests/qt/scripted_prompts.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

void ScriptedPrompts::ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                                  const QString& details) {
  shown.push_back({owner, text, icon, details});
  if (onMessage) onMessage();
}

QString ScriptedPrompts::ChooseFolder(QWidget*, const QString& prompt, Choice choice) {
  folderPrompts.push_back(prompt);
  folderChoices.push_back(choice);
  return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
}

QStringList ScriptedPrompts::Texts() const {
  QStringList texts;
  for (const Shown& message : shown) texts.push_back(message.text);
  return texts;
}

namespace {

void WhenShown(QWidget* (*find)(), std::function<void(QWidget*)> act) {
  QTimer::singleShot(10, [find, act] {
    QWidget* widget = find();
    widget && widget->isVisible() ? act(widget) : WhenShown(find, act);
  });
}

}  // namespace

void WhenPopup(std::function<void(QWidget*)> act) {
  WhenShown(&QApplication::activePopupWidget, std::move(act));
}

void WhenModal(std::function<void(QWidget*)> act) {
  WhenShown(&QApplication::activeModalWidget, std::move(act));
}
