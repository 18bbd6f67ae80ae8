#include "qt/user_prompts.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

#include <QAbstractButton>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QMessageBox>
#include <QStyle>
#include <QTextEdit>
#include <QWindow>

#include "qt/folder_or_image_chooser.h"
#include "qt/window_placement.h"

namespace {

// Room for a typical path with its outcome on each line, and the lines shown, when the screen
// has room for them; the fewest lines the user may shrink the details to.
constexpr int kDetailsWidthInCharacters = 80;
constexpr int kDetailsLines = 12;
constexpr int kFewestDetailsLines = 3;

// A message box that stays on the work area of its screen, at any scale. QMessageBox fixes its
// size whenever it lays itself out, and its details at 100 pixels high: once they are shown, this
// one may be made larger or smaller by the user, the details taking the room.
class MessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

  // One folder a line, unwrapped, so that a line stays one path when copied.
  void SetDetails(const QString& details) {
    setDetailedText(details);
    m_details = findChild<QTextEdit*>();
    if (!m_details) return;
    m_details->setLineWrapMode(QTextEdit::NoWrap);
    m_details->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    for (QAbstractButton* button : buttons()) {
      // Queued: QMessageBox shows or hides the details, and sizes itself, first.
      if (buttonRole(button) == ActionRole) {
        connect(
            button, &QAbstractButton::clicked, this, [this] { DetailsToggled(); },
            Qt::QueuedConnection);
      }
    }
  }

 protected:
  bool event(QEvent* event) override {
    // QMessageBox would fix the size again, and undo the user's.
    if (m_resizable && event->type() == QEvent::LayoutRequest) return QDialog::event(event);
    return QMessageBox::event(event);
  }

  // Shown where its owner is, it may stand partly off the screen.
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    KeepOnWorkArea(*this);
  }

 private:
  void DetailsToggled() {
    m_resizable = m_details && m_details->isVisible();
    if (m_resizable) {
      // The size QMessageBox chose, with the details at the height it fixed.
      const QSize chosen = size();
      const int heightWithoutDetails = chosen.height() - m_details->minimumHeight();
      const int frame = 2 * m_details->frameWidth();
      const int lines = m_details->fontMetrics().lineSpacing();
      const int fewest = kFewestDetailsLines * lines + frame;
      m_details->setMinimumHeight(fewest);
      m_details->setMaximumHeight(QWIDGETSIZE_MAX);
      const QMargins margins = layout()->contentsMargins();
      const int wide = m_details->fontMetrics().averageCharWidth() * kDetailsWidthInCharacters +
                       frame + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + margins.left() +
                       margins.right();
      setMinimumSize(chosen.width(), heightWithoutDetails + fewest);
      setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      resize(std::max(chosen.width(), wide), heightWithoutDetails + kDetailsLines * lines + frame);
    }
    KeepOnWorkArea(*this);
  }

  QTextEdit* m_details = nullptr;
  bool m_resizable = false;  // the details are shown
};

// A window manager that focuses on click gives the keyboard to a window clicked behind the box,
// where Qt drops every key: while the box is up, a window of this program that takes the keyboard
// hands it back, so that Enter and Escape still answer the box.
//
// The X server ignores a request for the keyboard stamped earlier than the focus change it would
// undo, and Qt stamps it with the last event it has handled, which may well be older than that
// change. So on X the box first has the server stamp a change to a property of its window, and
// asks once Qt has handled that change, whose time Qt then stamps its request with.
class KeyboardKeeper : public QObject, public QAbstractNativeEventFilter {
 public:
  explicit KeyboardKeeper(QMessageBox& box) : m_box(box) {
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
      m_x = x11->connection();
      qApp->installNativeEventFilter(this);
    }
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
      if (window && window != m_box.windowHandle() && m_box.isVisible()) TakeBack();
    });
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_property_notify_event_t*>(message);
    if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && event->window == m_stamped &&
        event->atom == m_stamp) {
      // Queued, so as to run once Qt has taken the event's time.
      QMetaObject::invokeMethod(
          this,
          [this] {
            QWindow* focus = QGuiApplication::focusWindow();
            if (m_box.isVisible() && focus && focus != m_box.windowHandle()) m_box.activateWindow();
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  void TakeBack() {
    if (m_x && m_stamp == XCB_ATOM_NONE) {
      constexpr char kName[] = "_QUORVEL_TIMESTAMP";
      const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(m_x, false, sizeof kName - 1, kName);
      if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_x, cookie, nullptr)) {
        m_stamp = reply->atom;
        std::free(reply);
      }
    }
    if (m_stamp == XCB_ATOM_NONE) {
      m_box.activateWindow();
      return;
    }
    // An empty value: the change is only there for the time the server stamps it with.
    m_stamped = m_box.winId();
    xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, m_stamped, m_stamp, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(m_x);
  }

  QMessageBox& m_box;
  xcb_connection_t* m_x = nullptr;
  xcb_atom_t m_stamp = XCB_ATOM_NONE;
  xcb_window_t m_stamped = XCB_WINDOW_NONE;
};

}  // namespace

void DesktopPrompts::ShowMessage(QWidget* owner, const QString& text, PassMessage::Icon icon,
                                 const QString& details) {
  MessageBox box(icon == PassMessage::Icon::kStop ? QMessageBox::Critical : QMessageBox::Warning,
                 ExecutableName(), text, QMessageBox::Ok, owner);
  if (!details.isEmpty()) box.SetDetails(details);
  box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
  KeyboardKeeper keeper(box);
  box.exec();
}

QString DesktopPrompts::ChooseFolder(QWidget* owner, const QString& prompt, Choice choice) {
  if (choice == Choice::kFolder) {
    return QFileDialog::getExistingDirectory(owner, prompt, QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
  }
  FolderOrImageChooser chooser(owner, prompt, QDir::homePath());
  return chooser.exec() == QDialog::Accepted ? chooser.ChosenPath() : QString();
}

QString ExecutableName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}
