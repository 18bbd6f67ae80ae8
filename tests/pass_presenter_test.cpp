#include "pass/pass_presenter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Time = std::chrono::steady_clock::time_point;

// Writes down what it is told to draw, one line a call.
class RecordingPresenter : public PassPresenter {
 public:
  explicit RecordingPresenter(const Time& now) : PassPresenter([&now] { return now; }) {}

  std::vector<std::string> drawn;

 protected:
  void DrawProgress(const PassProgress& progress) override {
    drawn.push_back(ProgressText(progress) + ", " + std::to_string(progress.handled) + " handled " +
                    progress.current);
  }
  void RemoveProgress() override { drawn.push_back("remove"); }
  void Refresh() override { drawn.push_back("refresh"); }
  void DrawMessage(const PassMessage& message, const PassReport& report) override {
    std::string line = "box " + BoxText(message);
    if (!message.folder.empty()) line += " [" + message.folder + "]";
    const std::string details = report.Details(message, "; ");
    if (!details.empty()) line += " | " + details;
    drawn.push_back(line);
  }
  void DrawUnreadable(const PassReport::Entry& entry) override {
    drawn.push_back("unreadable " + entry.Line());
  }
};

// One event of a pass, at a time after its start.
struct Step {
  std::chrono::milliseconds at;
  std::function<void(PassPresenter&)> event;
};

// The search has visited `directories` directories and found `found` discs.
Step Search(std::chrono::milliseconds at, std::size_t directories, std::size_t found = 0) {
  return {at, [=](PassPresenter& p) { p.Searching(directories, found); }};
}
Step Found(std::chrono::milliseconds at, std::size_t discs) {
  return {at, [=](PassPresenter& p) { p.DiscsFound(discs); }};
}
Step Start(std::chrono::milliseconds at, std::string path) {
  return {at, [path](PassPresenter& p) { p.FolderStarted(path); }};
}
Step Patched(std::chrono::milliseconds at, std::string path) {
  return {at, [path](PassPresenter& p) {
            p.FolderHandled(path, {FolderOutcome::Kind::kPatched, {}});
          }};
}
Step Refused(std::chrono::milliseconds at, std::string path) {
  return {
      at, [path](PassPresenter& p) {
        p.ShowMessage({PassMessage::Kind::kFolder, PassMessage::Icon::kWarning, "no index", path});
        p.FolderHandled(path, FolderOutcome::Reported("no index"));
      }};
}
Step Unreadable(std::chrono::milliseconds at, std::string path) {
  return {at, [path](PassPresenter& p) {
            p.FolderUnreadable(path, "Permission denied", UnreadableKind::kFolder);
          }};
}
Step Between(std::chrono::milliseconds at) {
  return {at, [](PassPresenter& p) { p.CancelRequested(); }};
}
Step FileError(std::chrono::milliseconds at) {
  return {at, [](PassPresenter& p) {
            p.ShowMessage({PassMessage::Kind::kFileError,
                           PassMessage::Icon::kStop,
                           "disk full",
                           {},
                           "No space left on device"});
          }};
}
Step Summary(std::chrono::milliseconds at, bool stopped = false) {
  return {at, [stopped](PassPresenter& p) {
            const PassProgress& progress = p.Progress();
            p.ShowMessage({PassMessage::Kind::kSummary,
                           PassMessage::Icon::kWarning,
                           "Modify 1 file successful",
                           {},
                           {},
                           stopped,
                           static_cast<std::size_t>(progress.directories),
                           progress.searching,
                           static_cast<std::size_t>(progress.found),
                           static_cast<std::size_t>(progress.disc)});
          }};
}

// When the progress comes up, how often it is redrawn, what it counts, and what each box shows,
// for passes whose events come at the times given.
TEST(PassPresenterTest, WhatIsDrawnAndWhen) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> drawn;
  };
  const std::vector<Case> cases = {
      {"a short pass shows no progress, however many events it has",
       {Search(0ms, 1), Search(10ms, 2, 1), Found(15ms, 1), Start(20ms, "/m/a/BDMV"),
        Patched(30ms, "/m/a/BDMV"), Summary(40ms)},
       {"refresh", "box Modify 1 file successful | /m/a/BDMV: patched"}},
      {"before the second is up, the window is refreshed but no progress is shown",
       {Search(49ms, 1), Search(50ms, 2), Search(60ms, 3), Search(100ms, 4), Search(999ms, 5),
        Summary(1500ms)},
       {"refresh", "refresh", "refresh", "box Modify 1 file successful"}},
      {"a second in, the progress comes up at the next event and is redrawn at most every 50 ms",
       {Search(900ms, 1), Search(1000ms, 2, 1), Search(1010ms, 3, 1), Found(1020ms, 1),
        Start(1021ms, "/m/a/BDMV"), Patched(1069ms, "/m/a/BDMV"), Between(1071ms), Summary(1080ms)},
       {"refresh", "Looking for discs: 2 directories, 1 found, 0 handled ", "refresh",
        "Disc 0 of 1, 0 handled ", "refresh", "Disc 1 of 1, 1 handled /m/a/BDMV", "refresh",
        "remove", "box Modify 1 file successful | /m/a/BDMV: patched"}},
      {"a slow folder: the progress comes up when the pass asks whether to stop",
       {Found(0ms, 1), Start(0ms, "/m/BDMV"), Between(3000ms), Summary(3001ms)},
       {"refresh", "Disc 1 of 1, 0 handled /m/BDMV", "refresh", "remove",
        "box Modify 1 file successful"}},
      {"a folder's box comes over the progress, brought up to date; it is not counted",
       {Found(1000ms, 1), Start(1010ms, "/m/BDMV"), Refused(1020ms, "/m/BDMV"), Summary(1030ms)},
       {"Disc 0 of 1, 0 handled ", "refresh", "Disc 1 of 1, 0 handled /m/BDMV",
        "box no index [/m/BDMV]", "remove", "box Modify 1 file successful | /m/BDMV: no index"}},
      {"a folder's box before the second is up draws no progress",
       {Start(10ms, "/m/BDMV"), Refused(20ms, "/m/BDMV"), Summary(30ms)},
       {"box no index [/m/BDMV]", "box Modify 1 file successful | /m/BDMV: no index"}},
      {"an unreadable directory is told at once and listed in the summary",
       {Unreadable(10ms, "/m/x"), Summary(20ms)},
       {"unreadable /m/x: cannot read this folder (Permission denied)",
        "box Modify 1 file successful | /m/x: cannot read this folder (Permission denied)"}},
      {"a file error's box names the folder in hand, over the progress brought up to date",
       {Found(1000ms, 1), Start(1010ms, "/m/BDMV"), FileError(1020ms)},
       {"Disc 0 of 1, 0 handled ", "refresh", "Disc 1 of 1, 0 handled /m/BDMV",
        "box disk full [/m/BDMV] | Folder: /m/BDMV; No space left on device", "remove"}},
      {"a file error between two folders names none",
       {Start(10ms, "/m/a/BDMV"), Patched(20ms, "/m/a/BDMV"), FileError(30ms)},
       {"box disk full | No space left on device"}},
      {"a pass stopped while looking for discs says how far it looked",
       {Search(0ms, 1), Search(1ms, 2), Summary(2ms, true)},
       {"box Modify 1 file successful\nStopped after visiting 2 directories. | Stopped after "
        "visiting 2 directories."}},
      {"a pass stopped among its discs says after how many",
       {Found(0ms, 3), Start(1ms, "/m/a/BDMV"), Patched(2ms, "/m/a/BDMV"), Summary(3ms, true)},
       {"refresh",
        "box Modify 1 file successful\nStopped after 1 of 3 discs. | Stopped after 1 of 3 discs.; "
        "/m/a/BDMV: patched"}},
      {"nothing comes up once the pass has ended",
       {Summary(10ms), Between(2000ms), Search(3000ms, 1)},
       {"box Modify 1 file successful"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Time now{};
    RecordingPresenter presenter(now);
    for (const Step& step : c.steps) {
      now = Time{} + step.at;
      step.event(presenter);
    }
    EXPECT_EQ(presenter.drawn, c.drawn);
  }
}

TEST(PassPresenterTest, ACancelIsKeptUntilThePassEnds) {
  Time now{};
  RecordingPresenter presenter(now);
  EXPECT_FALSE(presenter.CancelRequested());
  EXPECT_FALSE(presenter.Cancelling());
  presenter.RequestCancel();
  EXPECT_TRUE(presenter.Cancelling());
  EXPECT_TRUE(presenter.CancelRequested());
  EXPECT_TRUE(presenter.CancelRequested());
}

}  // namespace
