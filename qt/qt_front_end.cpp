#include "qt/qt_front_end.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>

#include "platform/stop_signals.h"
#include "qt/progress_strip.h"
#include "qt/user_prompts.h"

namespace {

// Often enough to look alive, seldom enough to cost a walk nothing worth measuring.
constexpr qint64 kRepaintIntervalMs = 40;

}  // namespace

QtFrontEnd::QtFrontEnd(QWidget& owner, UserPrompts& prompts,
                       std::chrono::milliseconds progressDelay)
    : m_owner(owner),
      m_prompts(prompts),
      m_progressDelay(progressDelay),
      m_inputSink(owner, [this] { RequestCancel(); }) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  m_sinceStart.start();
  m_sinceRepaint.start();
}

QtFrontEnd::~QtFrontEnd() {
  QApplication::restoreOverrideCursor();
}

void QtFrontEnd::ShowMessage(const PassMessage& message) {
  // The session is ending: nobody is left to dismiss a box, and the program is to end.
  if (platform::StopSignal() != 0) return;
  // Every message but a folder's ends the pass: its box stands alone. A folder's message leaves
  // the strip up, with the count so far.
  if (message.kind != PassMessage::Kind::kFolder) m_progress.reset();
  RefreshProgress();
  // The user has to click the box, so it gets the ordinary arrow.
  QApplication::restoreOverrideCursor();
  m_prompts.ShowMessage(&m_owner, QString::fromUtf8(BoxText(message)), message.icon,
                        QFile::decodeName(m_report.Details(message).c_str()));
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtFrontEnd::DirectoryVisited(const std::string& path) {
  ++m_directories;
  Tick(path);
}

void QtFrontEnd::FolderStarted(const std::string& path) {
  Tick(path);
}

void QtFrontEnd::FolderUnreadable(const std::string& path, const std::string& cause) {
  m_report.FolderUnreadable(path, cause);
}

void QtFrontEnd::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  if (outcome.Counted()) ++m_handled;
  m_report.FolderHandled(path, outcome);
  Tick(path);
}

void QtFrontEnd::Tick(const std::string& current) {
  m_current = current;
  bool repaint = m_sinceRepaint.elapsed() >= kRepaintIntervalMs;
  if (!m_progress && m_sinceStart.elapsed() >= m_progressDelay.count()) {
    m_progress = std::make_unique<ProgressStrip>(m_owner, [this] { RequestCancel(); });
    m_progress->CancelButton().setEnabled(!m_cancelRequested);
    m_inputSink.LetThrough(m_progress->CancelButton());
    m_progress->show();
    repaint = true;
  }
  if (!repaint) return;
  RefreshProgress();
  // Input is read too: the sink drops it all but Escape and the Cancel button.
  QApplication::processEvents();
  m_sinceRepaint.restart();
}

void QtFrontEnd::RefreshProgress() {
  if (m_progress)
    m_progress->Update(m_directories, m_handled, QFile::decodeName(m_current.c_str()));
}

bool QtFrontEnd::CancelRequested() {
  return m_cancelRequested || platform::StopSignal() != 0;
}

void QtFrontEnd::RequestCancel() {
  m_cancelRequested = true;
  // The walk stops at the next folder; the button says it has been heard.
  if (m_progress) m_progress->CancelButton().setEnabled(false);
}
