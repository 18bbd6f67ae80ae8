#include "qt/button_keys.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace {

// Drops Space with a modifier before the button sees it. The dialog's own Alt+Space shortcut
// still works: shortcuts are matched before the key reaches the focused widget.
class ModifiedSpaceFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    return key->key() == Qt::Key_Space && key->modifiers() != Qt::NoModifier;
  }
};

}  // namespace

void PressOnlyOnPlainSpace(QAbstractButton& button) {
  button.installEventFilter(new ModifiedSpaceFilter(&button));
}
