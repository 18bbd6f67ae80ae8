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
  // Every message but a folder's ends the pass. A folder's box, and a file error's, come over
  // the progress brought up to date, so that it still names the disc in hand; a file error's
  // takes it down once the user has closed it. Any other box that ends the pass stands alone.
  const bool endsPass = message.kind != PassMessage::Kind::kFolder;
  const bool overProgress = !endsPass || message.kind == PassMessage::Kind::kFileError;
  if (endsPass) m_ended = true;
  if (m_progressShown) {
    if (overProgress) {
      DrawProgress(m_progress);
    } else {
      RemoveProgress();
      m_progressShown = false;
    }
  }
  DrawMessage(shown, m_report);
  if (endsPass && m_progressShown) {
    RemoveProgress();
    m_progressShown = false;
  }
}

std::string ProgressText(const PassProgress& progress) {
  if (progress.searching) {
    return "Looking for discs: " + std::to_string(progress.directories) + " directories, " +
           std::to_string(progress.found) + " found";
  }
  return "Disc " + std::to_string(progress.disc) + " of " + std::to_string(progress.found);
}

void PassPresenter::Searching(std::size_t directories, std::size_t found) {
  m_progress.directories = static_cast<long>(directories);
  m_progress.found = static_cast<long>(found);
  Tick();
}

void PassPresenter::DiscsFound(std::size_t discs) {
  m_progress.searching = false;
  m_progress.found = static_cast<long>(discs);
  // The bar appears at once, not at the next disc: a slow first disc would leave the search up.
  m_lastRefresh = m_clock() - kRefreshInterval;
  Tick();
}

void PassPresenter::FolderUnreadable(const std::string& path, const std::string& cause,
                                     UnreadableKind kind) {
  m_report.FolderUnreadable(path, cause, kind);
  DrawUnreadable(m_report.Entries().back());
  Tick();
}

void PassPresenter::FolderStarted(const std::string& path) {
  ++m_progress.disc;
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
