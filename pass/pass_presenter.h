#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "pass/pass_front_end.h"
#include "pass/pass_report.h"

// How far a pass has come, as its progress display shows it: first the search for discs, then
// the discs it found, one by one.
struct PassProgress {
  bool searching = true;
  long directories = 0;  // directories visited by the search
  long found = 0;        // discs (BDMV folders and images) found by the search
  long disc = 0;         // the disc at hand, from 1 to `found`
  long handled = 0;      // discs that count in the summary
  std::string current;   // the disc at hand
};

// What the progress display says of the phase it shows: "Looking for discs: N directories, M
// found", then "Disc K of M".
std::string ProgressText(const PassProgress& progress);

using PassClock = std::function<std::chrono::steady_clock::time_point()>;

// The time that progress is shown by, unless a test sets its own: read for every directory the
// search visits, so to within a few milliseconds, as cheaply as the system allows.
std::chrono::steady_clock::time_point PassTime();

// What every front end shows of a pass, decided in one place: the counts and the folder at hand,
// a progress display that comes up a second into the pass (never for a short one) and is
// redrawn now and then, the report of each folder for the summary, the folder in hand when a
// file error ends the pass, and the stop that Cancel, Escape, a close request or a stop signal
// asks for. A front end derives from it and only draws what it is told to.
class PassPresenter : public PassFrontEnd {
 public:
  static constexpr std::chrono::milliseconds kProgressDelay{1000};
  // Often enough to look alive and to answer Cancel at once, seldom enough to cost a walk nothing
  // worth measuring.
  static constexpr std::chrono::milliseconds kRefreshInterval{50};

  explicit PassPresenter(PassClock clock = PassTime);

  void ShowMessage(const PassMessage& message) override;
  void Searching(std::size_t directories, std::size_t found) override;
  void DiscsFound(std::size_t discs) override;
  void FolderUnreadable(const std::string& path, const std::string& cause,
                        UnreadableKind kind) override;
  void FolderStarted(const std::string& path) override;
  void FolderHandled(const std::string& path, const FolderOutcome& outcome) override;
  // A stop asked of this presenter, or a signal that asks the program to stop.
  bool CancelRequested() override;

  // Cancel, Escape or a close request: the walk stops after the folder in hand.
  virtual void RequestCancel();
  bool Cancelling() const { return m_cancelRequested; }

  const PassProgress& Progress() const { return m_progress; }
  const PassReport& Report() const { return m_report; }

 protected:
  // Brings the progress display up the first time, and redraws it after.
  virtual void DrawProgress(const PassProgress& progress) = 0;
  // Takes the progress display down before the summary or a pass-level message, and after a
  // file error's box has been closed; called only while it is up.
  virtual void RemoveProgress() = 0;
  // At each refresh, progress shown or not: lets the window repaint and read the input that may
  // stop the pass.
  virtual void Refresh() {}
  // Shows a message and returns once the user has dismissed it. A file error's `folder` names
  // the BDMV folder in hand when it came, if any; `report` holds what the pass did so far.
  virtual void DrawMessage(const PassMessage& message, const PassReport& report) = 0;
  // A directory the walk could not read and skipped, for a front end that tells each at once.
  virtual void DrawUnreadable(const PassReport::Entry& /*entry*/) {}

 private:
  void Tick();

  PassClock m_clock;
  std::chrono::steady_clock::time_point m_start;
  std::chrono::steady_clock::time_point m_lastRefresh;
  PassProgress m_progress;
  std::string m_folderInHand;
  PassReport m_report;
  bool m_progressShown = false;
  bool m_ended = false;
  bool m_cancelRequested = false;
};
