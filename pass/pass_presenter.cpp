#include "pass/pass_presenter.h"

#include <utility>

#include "platform/coarse_clock.h"
#include "platform/stop_signals.h"

std::chrono::steady_clock::time_point PassTime() {
  return platform::CoarseNow();
}

PassPresenter::PassPresenter(PassClock clock)
    : m_clock(std::move(clock)), m_start(m_clock()), m_lastRefresh(m_start) {}

void PassPresenter::ShowMessage(const PassMessage& message) {
  PassMessage shown = message;
  // The text names no folder, and a pass may have been through hundreds: the one in hand is
  // where it stopped.
  if (message.kind == PassMessage::Kind::kFileError) shown.folder = m_folderInHand;
  // Every message but a folder's ends the pass: its box stands alone. A folder's message leaves
  // the progress up, with the count so far.
  if (message.kind != PassMessage::Kind::kFolder) {
    m_ended = true;
    if (m_progressShown) RemoveProgress();
    m_progressShown = false;
  } else if (m_progressShown) {
    DrawProgress(m_progress);
  }
  DrawMessage(shown, m_report);
}

void PassPresenter::DirectoryVisited(const std::string& path) {
  ++m_progress.directories;
  m_progress.current = path;
  Tick();
}

void PassPresenter::FolderUnreadable(const std::string& path, const std::string& cause) {
  m_report.FolderUnreadable(path, cause);
  DrawUnreadable(m_report.Entries().back());
  Tick();
}

void PassPresenter::FolderStarted(const std::string& path) {
  ++m_progress.found;
  m_progress.current = path;
  m_folderInHand = path;
  Tick();
}

void PassPresenter::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  if (outcome.Counted()) ++m_progress.handled;
  m_folderInHand.clear();
  m_report.FolderHandled(path, outcome);
  Tick();
}

bool PassPresenter::CancelRequested() {
  // Asked between two folders, when a slow one may have kept the walk from telling anything.
  Tick();
  return m_cancelRequested || platform::StopSignal() != 0;
}

void PassPresenter::RequestCancel() {
  m_cancelRequested = true;
}

void PassPresenter::Tick() {
  const auto now = m_clock();
  if (m_ended || now - m_lastRefresh < kRefreshInterval) return;
  m_lastRefresh = now;
  if (now - m_start >= kProgressDelay) m_progressShown = true;
  if (m_progressShown) DrawProgress(m_progress);
  Refresh();
}
