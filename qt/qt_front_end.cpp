#include "qt/qt_front_end.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>

#include "platform/stop_signals.h"
#include "qt/progress_strip.h"
#include "qt/user_prompts.h"

QtFrontEnd::QtFrontEnd(QWidget& owner, UserPrompts& prompts, PassClock clock)
    : PassPresenter(std::move(clock)),
      m_owner(owner),
      m_prompts(prompts),
      m_inputSink(
          owner, [this] { RequestCancel(); }, [this](bool over) { PointerOverCancel(over); }) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

QtFrontEnd::~QtFrontEnd() {
  QApplication::restoreOverrideCursor();
}

void QtFrontEnd::RequestCancel() {
  PassPresenter::RequestCancel();
  // The walk stops at the next folder; the button says it has been heard.
  if (m_progress) m_progress->CancelButton().setEnabled(false);
}

void QtFrontEnd::DrawProgress(const PassProgress& progress) {
  if (!m_progress) {
    m_progress = std::make_unique<ProgressStrip>(m_owner, [this] { RequestCancel(); });
    m_progress->CancelButton().setEnabled(!Cancelling());
    m_inputSink.LetThrough(m_progress->CancelButton());
    m_progress->show();
  }
  m_progress->Update(progress);
}

void QtFrontEnd::RemoveProgress() {
  m_progress.reset();
  PointerOverCancel(false);
}

void QtFrontEnd::Refresh() {
  QApplication::processEvents();
}

void QtFrontEnd::DrawMessage(const PassMessage& message, const PassReport& report) {
  // The session is ending: nobody is left to dismiss a box, and the program is to end.
  if (platform::StopSignal() != 0) return;
  // The user has to click the box, so it gets the ordinary arrow.
  QApplication::restoreOverrideCursor();
  m_prompts.ShowMessage(&m_owner, QString::fromUtf8(BoxText(message)), message.icon,
                        QFile::decodeName(report.Details(message).c_str()));
  QApplication::setOverrideCursor(m_overCancel ? Qt::ArrowCursor : Qt::WaitCursor);
}

// The button that stops the pass is not busy: it answers at once.
void QtFrontEnd::PointerOverCancel(bool over) {
  if (over == m_overCancel) return;
  m_overCancel = over;
  QApplication::changeOverrideCursor(over ? Qt::ArrowCursor : Qt::WaitCursor);
}
