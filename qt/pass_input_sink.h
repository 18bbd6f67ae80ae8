#pragma once

#include <functional>

#include <QObject>
#include <QPointer>
#include <QWidget>

// For the length of a pass, reads the keys and clicks meant for `window` and drops them. The
// window system sees them handled at once, so its notion of the last user action stays current
// and the boxes the pass shows come up active; kept for later, a click would reach the window
// only after the pass and pull the focus away from its summary box. A click is dropped before Qt
// would give the focus to the control under it. Two things still act: the Escape key, which
// calls `onEscape`, and the one control let through (the Cancel button); `onPointerOver` is told
// when the pointer comes onto that control and leaves it.
class PassInputSink : public QObject {
 public:
  PassInputSink(QWidget& window, std::function<void()> onEscape,
                std::function<void(bool over)> onPointerOver);
  ~PassInputSink() override;
  PassInputSink(const PassInputSink&) = delete;
  PassInputSink& operator=(const PassInputSink&) = delete;

  void LetThrough(QWidget& control) { m_letThrough = &control; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool ForLetThrough(QEvent* event) const;

  QWidget& m_window;
  std::function<void()> m_onEscape;
  std::function<void(bool)> m_onPointerOver;
  QPointer<QWidget> m_letThrough;
};
