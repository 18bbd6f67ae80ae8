#pragma once

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/console_output.h"
#include "cli/progress_line.h"
#include "pass/pass_presenter.h"

// Shows a pass on a terminal or to a script: the summary on stdout (or in the JSON report), every
// other message as one line on stderr, and a progress line on stderr when `showProgress`.
class CliFrontEnd : public PassPresenter {
 public:
  CliFrontEnd(ConsoleOutput& console, bool showProgress, bool json, PassClock clock = PassTime);

  bool ReachedSummary() const { return m_reachedSummary; }
  // A BDMV folder got a message, or a directory could not be read.
  bool AnyFolderReported() const { return !Report().AllHandled(); }

  // The JSON report's "folders", "unreadable", "count", "summary", "stopped",
  // "directories_visited" and "error".
  nlohmann::json Json() const;

  void EraseProgress() { m_progress.Erase(); }

 protected:
  void DrawProgress(const PassProgress& progress) override { m_progress.Draw(progress); }
  void RemoveProgress() override { m_progress.Erase(); }
  void DrawMessage(const PassMessage& message, const PassReport& report) override;
  void DrawUnreadable(const PassReport::Entry& entry) override;

 private:
  void PrintLine(std::FILE* stream, const std::string& text);

  ConsoleOutput& m_console;
  bool m_json;
  ProgressLine m_progress;
  // What the messages told: the summary, the stop and an error that ended the pass.
  nlohmann::json m_ending;
  nlohmann::json m_failedFolder;  // the folder in hand when a file error ended the pass
  bool m_reachedSummary = false;
};
