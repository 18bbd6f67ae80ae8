#include "cli/cli_front_end.h"

#include "cli/json_report.h"
#include "cli/terminal_text.h"
#include "pass/pass_report.h"
#include "platform/stop_signals.h"

CliFrontEnd::CliFrontEnd(ConsoleOutput& console, bool showProgress, bool json)
    : m_console(console),
      m_json(json),
      m_progress(showProgress, console),
      m_report({{"folders", nlohmann::json::array()},
                {"unreadable", nlohmann::json::array()},
                {"count", 0},
                {"summary", nullptr},
                {"stopped", false},
                {"directories_visited", nullptr},
                {"error", nullptr}}) {}

void CliFrontEnd::ShowMessage(const PassMessage& message) {
  m_progress.Erase();
  switch (message.kind) {
    case PassMessage::Kind::kSummary:
      m_reachedSummary = true;
      m_report["summary"] = message.text;
      m_report["stopped"] = message.stopped;
      m_report["directories_visited"] = message.directoriesVisited;
      // The summary reads as for a whole pass: a stop is told beside it.
      if (message.stopped) PrintLine(m_console.Err(), StoppedText(message));
      if (!m_json) PrintLine(m_console.Out(), message.text);
      return;
    case PassMessage::Kind::kFolder:
      m_anyFolderReported = true;
      PrintLine(m_console.Err(), message.folder + ": " + WithCause(message.text, message.cause));
      return;
    case PassMessage::Kind::kFileError:
      // The text names no folder, and a pass may have been through hundreds: the one being
      // handled is where it stopped.
      m_report["error"] = {{"kind", "file-error"},
                           {"text", message.text},
                           {"cause", CauseJson(message.cause)},
                           {"folder", nullptr}};
      if (m_current.empty()) break;
      m_report["folders"].push_back({{"path", PathJson(m_current)},
                                     {"result", "file-error"},
                                     {"message", message.text},
                                     {"cause", CauseJson(message.cause)}});
      m_report["error"]["folder"] = PathJson(m_current);
      PrintLine(m_console.Err(), m_current + ": " + WithCause(message.text, message.cause));
      return;
    case PassMessage::Kind::kPassLevel:
      m_report["error"] = {{"kind", "pass"}, {"text", message.text}, {"cause", nullptr}};
      break;
  }
  PrintLine(m_console.Err(), WithCause(message.text, message.cause));
}

void CliFrontEnd::DirectoryVisited(const std::string& path) {
  ++m_directories;
  m_progress.Update(m_directories, m_found, m_handled, path);
}

void CliFrontEnd::FolderUnreadable(const std::string& path, const std::string& cause) {
  m_progress.Erase();
  m_anyFolderReported = true;
  m_report["unreadable"].push_back({{"path", PathJson(path)}, {"cause", cause}});
  PrintLine(m_console.Err(), path + ": cannot read this folder (" + cause + ")");
}

void CliFrontEnd::FolderStarted(const std::string& path) {
  ++m_found;
  m_current = path;
  m_progress.Update(m_directories, m_found, m_handled, path);
}

void CliFrontEnd::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  m_current.clear();
  if (outcome.Counted()) {
    ++m_handled;
    m_report["count"] = m_handled;
  }
  m_report["folders"].push_back(FolderOutcomeJson(path, outcome));
}

bool CliFrontEnd::CancelRequested() {
  return platform::StopSignal() != 0;
}

// One message, one line: nothing in a name can end it early or reach the terminal as a command.
void CliFrontEnd::PrintLine(std::FILE* stream, const std::string& text) {
  m_console.Print(stream, TerminalText(text) + "\n");
}
