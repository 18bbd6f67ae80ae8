#include "qt/window_placement.h"

#include <algorithm>

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

// Where `start`, `length` long, lies within [low, low + room), or at `low` when it cannot.
int Within(int start, int length, int low, int room) {
  return std::max(low, std::min(start, low + room - length));
}

void Fit(QWidget& window) {
  const QRect area = window.screen()->availableGeometry();
  const QRect frame = window.frameGeometry();
  const QSize edges = frame.size() - window.size();
  const QSize room = (area.size() - edges).expandedTo(window.minimumSize());
  if (window.width() > room.width() || window.height() > room.height()) {
    window.resize(window.size().boundedTo(room));
  }
  const QSize size = window.size() + edges;
  const QPoint place(Within(frame.x(), size.width(), area.x(), area.width()),
                     Within(frame.y(), size.height(), area.y(), area.height()));
  if (place != frame.topLeft()) window.move(place);
}

constexpr char kWatcherName[] = "quorvelFrameWatcher";

// Places the window again when the frame's size first becomes known, then leaves the window to
// the user.
class FrameWatcher : public QObject {
 public:
  FrameWatcher(QWidget& window, void (*place)(QWidget&))
      : QObject(&window), m_window(window), m_place(place) {
    setObjectName(kWatcherName);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Move && m_window.frameGeometry() != m_window.geometry()) {
      m_place(m_window);
      m_window.removeEventFilter(this);
      deleteLater();
    }
    return false;
  }

 private:
  QWidget& m_window;
  void (*m_place)(QWidget&);
};

void PlaceNowAndOnceFramed(QWidget& window, void (*place)(QWidget&)) {
  place(window);
  const bool framed = window.frameGeometry() != window.geometry();
  if (!framed && !window.findChild<QObject*>(kWatcherName, Qt::FindDirectChildrenOnly)) {
    window.installEventFilter(new FrameWatcher(window, place));
  }
}

}  // namespace

void CentreOnWorkArea(QWidget& window) {
  PlaceNowAndOnceFramed(window, Centre);
}

void KeepOnWorkArea(QWidget& window) {
  PlaceNowAndOnceFramed(window, Fit);
}
