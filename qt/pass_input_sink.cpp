#include "qt/pass_input_sink.h"

#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointerEvent>
#include <QWidget>
#include <QWindow>

namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
      return true;
    default:
      return false;
  }
}

// Qt gives the focus to the control under the pointer before it hands these on to the control,
// filters included: the window has to drop them.
bool TakesFocus(QEvent::Type type) {
  return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
         type == QEvent::Wheel || type == QEvent::TouchBegin;
}

// The widget an event is for: the receiver, or the widget that owns it (a shortcut, an action).
QWidget* WidgetOf(QObject* object) {
  while (object && !object->isWidgetType()) object = object->parent();
  return static_cast<QWidget*>(object);
}

}  // namespace

PassInputSink::PassInputSink(QWidget& window, std::function<void()> onEscape,
                             std::function<void(bool over)> onPointerOver)
    : m_window(window), m_onEscape(std::move(onEscape)), m_onPointerOver(std::move(onPointerOver)) {
  QCoreApplication::instance()->installEventFilter(this);
}

PassInputSink::~PassInputSink() {
  QCoreApplication::instance()->removeEventFilter(this);
}

bool PassInputSink::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == m_window.windowHandle() && TakesFocus(type)) return !ForLetThrough(event);
  if (watched == m_letThrough && (type == QEvent::Enter || type == QEvent::Leave)) {
    m_onPointerOver(type == QEvent::Enter);
    return false;
  }
  if (!IsUserInput(type)) return false;
  const QWidget* widget = WidgetOf(watched);
  // The message boxes are windows of their own, owned by the dialog; they keep their input.
  if (!widget || widget->window() != &m_window) return false;
  if (widget == m_letThrough) return false;
  if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    m_onEscape();
  }
  return true;
}

bool PassInputSink::ForLetThrough(QEvent* event) const {
  auto* pointer = static_cast<QPointerEvent*>(event);
  if (!m_letThrough || pointer->pointCount() == 0) return false;
  const QWidget* under = m_window.childAt(pointer->point(0).position().toPoint());
  return under && (under == m_letThrough || m_letThrough->isAncestorOf(under));
}
