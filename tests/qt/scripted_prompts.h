#pragma once

#include <functional>
#include <vector>

#include <QStringList>

#include "qt/user_prompts.h"

// Answers the dialog's boxes as a test scripted them, and records what they showed.
class ScriptedPrompts : public UserPrompts {
 public:
  struct Shown {
    QWidget* owner;
    QString text;
    PassMessage::Icon icon;
    QString details;
  };

  void ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                   const QString& details = {}) override;
  QString ChooseFolder(QWidget* owner, const QString& prompt, Choice choice) override;
  QStringList Texts() const;

  std::vector<Shown> shown;
  std::function<void()> onMessage;  // runs while the message is "on screen"
  QStringList folderAnswers;        // one per Browse; none left cancels
  QStringList folderPrompts;
  std::vector<Choice> folderChoices;  // what each chooser offered
};

// Calls `act` with the popup menu, or the modal window, that is about to block the test.
void WhenPopup(std::function<void(QWidget*)> act);
void WhenModal(std::function<void(QWidget*)> act);
