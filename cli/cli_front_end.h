#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "cli/console_output.h"
#include "cli/progress_line.h"
#include "pass/pass_front_end.h"

// Shows a pass's messages on a terminal or to a script: the summary on stdout (or in the JSON
// report), every other message as one line on stderr, and a progress line while it walks.
class CliFrontEnd : public PassFrontEnd {
 public:
  CliFrontEnd(ConsoleOutput& console, bool showProgress, bool json);

  void ShowMessage(const PassMessage& message) override;
  void DirectoryVisited(const std::string& path) override;
  void FolderUnreadable(const std::string& path, const std::string& cause) override;
  void FolderStarted(const std::string& path) override;
  void FolderHandled(const std::string& path, const FolderOutcome& outcome) override;
  // Ctrl+C, SIGTERM or SIGHUP: the folder in hand is finished, then the pass stops.
  bool CancelRequested() override;

  bool ReachedSummary() const { return m_reachedSummary; }
  // A BDMV folder got a message, or a directory could not be read.
  bool AnyFolderReported() const { return m_anyFolderReported; }

  // The JSON report's "folders", "unreadable", "count", "summary", "stopped",
  // "directories_visited" and "error".
  nlohmann::json& Report() { return m_report; }

  void EraseProgress() { m_progress.Erase(); }

 private:
  void PrintLine(std::FILE* stream, const std::string& text);

  ConsoleOutput& m_console;
  bool m_json;
  ProgressLine m_progress;
  nlohmann::json m_report;
  std::string m_current;  // the BDMV folder being handled, if any
  long m_directories = 0;
  long m_found = 0;
  long m_handled = 0;
  bool m_reachedSummary = false;
  bool m_anyFolderReported = false;
};
