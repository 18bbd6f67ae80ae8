#pragma once

#include <QObject>

class QWidget;

// For the length of a pass, reads the keys and clicks meant for `window` and drops them. The
// window system sees them handled at once, so its notion of the last user action stays current
// and the boxes the pass shows come up active; kept for later, a click would reach the window
// only after the pass and pull the focus away from its summary box.
class PassInputSink : public QObject {
 public:
  explicit PassInputSink(QWidget& window);
  ~PassInputSink() override;
  PassInputSink(const PassInputSink&) = delete;
  PassInputSink& operator=(const PassInputSink&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& m_window;
};
