#pragma once

#include <functional>

#include <QObject>
#include <QPointer>
#include <QWidget>

// For the length of a pass, reads the keys and clicks meant for `window` and drops them. The
// window system sees them handled at once, so its notion of the last user action stays current
// and the boxes the pass shows come up active; kept for later, a click would reach the window
// only after the pass and pull the focus away from its summary box. Two things still act: the
// Escape key, which calls `onEscape`, and the one control let through (the Cancel button).
class PassInputSink : public QObject {
 public:
  PassInputSink(QWidget& window, std::function<void()> onEscape);
  ~PassInputSink() override;
  PassInputSink(const PassInputSink&) = delete;
  PassInputSink& operator=(const PassInputSink&) = delete;

  void LetThrough(QWidget& control) { m_letThrough = &control; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& m_window;
  std::function<void()> m_onEscape;
  QPointer<QWidget> m_letThrough;
};
