#include "qt/pass_input_sink.h"

#include <utility>

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
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

PassInputSink::PassInputSink(QWidget& window, std::function<void()> onEscape)
    : m_window(window), m_onEscape(std::move(onEscape)) {
  QCoreApplication::instance()->installEventFilter(this);
}

PassInputSink::~PassInputSink() {
  QCoreApplication::instance()->removeEventFilter(this);
}

bool PassInputSink::eventFilter(QObject* watched, QEvent* event) {
  if (!IsUserInput(event->type())) return false;
  const QWidget* widget = WidgetOf(watched);
  // The message boxes are windows of their own, owned by the dialog; they keep their input.
  if (!widget || widget->window() != &m_window) return false;
  if (widget == m_letThrough) return false;
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    m_onEscape();
  }
  return true;
}
