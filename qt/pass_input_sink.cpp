#include "qt/pass_input_sink.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

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

// The widget an event is for: the receiver, or the widget that owns it (a shortcut, an action).
QWidget* WidgetOf(QObject* object) {
  while (object && !object->isWidgetType()) object = object->parent();
  return static_cast<QWidget*>(object);
}

}  // namespace

PassInputSink::PassInputSink(QWidget& window) : m_window(window) {
  QCoreApplication::instance()->installEventFilter(this);
}

PassInputSink::~PassInputSink() {
  QCoreApplication::instance()->removeEventFilter(this);
}

bool PassInputSink::eventFilter(QObject* watched, QEvent* event) {
  if (!IsUserInput(event->type())) return false;
  const QWidget* widget = WidgetOf(watched);
  // The message boxes are windows of their own, owned by the dialog; they keep their input.
  return widget && widget->window() == &m_window;
}
