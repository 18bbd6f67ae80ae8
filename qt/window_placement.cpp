#include "qt/window_placement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {

void Centre(QWidget& window) {
  const QRect area = window.screen()->availableGeometry();
  const QSize frame = window.frameGeometry().size();
  window.move(area.x() + (area.width() - frame.width()) / 2,
              area.y() + (area.height() - frame.height()) / 2);
}

// Centres again when the frame's size first becomes known, then leaves the window to the user.
class FrameWatcher : public QObject {
 public:
  explicit FrameWatcher(QWidget& window) : QObject(&window), m_window(window) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Move && m_window.frameGeometry() != m_window.geometry()) {
      Centre(m_window);
      deleteLater();
    }
    return false;
  }

 private:
  QWidget& m_window;
};

}  // namespace

void CentreOnWorkArea(QWidget& window) {
  Centre(window);
  window.installEventFilter(new FrameWatcher(window));
}
