#include "cli/cli_front_end.h"

#include <utility>

#include "cli/json_report.h"
#include "cli/terminal_text.h"

CliFrontEnd::CliFrontEnd(ConsoleOutput& console, bool showProgress, bool json, PassClock clock)
    : PassPresenter(std::move(clock)),
      m_console(console),
      m_json(json),
      m_progress(showProgress, console),
      m_ending({{"summary", nullptr},
                {"stopped", false},
                {"directories_visited", nullptr},
                {"error", nullptr}}) {}

nlohmann::json CliFrontEnd::Json() const {
  nlohmann::json json = m_ending;
  json["folders"] = nlohmann::json::array();
  json["unreadable"] = nlohmann::json::array();
  for (const PassReport::Entry& entry : Report().Entries()) {
    if (entry.outcome) {
      json["folders"].push_back(FolderOutcomeJson(entry.path, *entry.outcome));
    } else {
      json["unreadable"].push_back({{"path", PathJson(entry.path)}, {"cause", entry.cause}});
    }
  }
  if (!m_failedFolder.is_null()) json["folders"].push_back(m_failedFolder);
  json["count"] = Progress().handled;
  return json;
}

void CliFrontEnd::DrawMessage(const PassMessage& message, const PassReport& /*report*/) {
  m_progress.Erase();
  switch (message.kind) {
    case PassMessage::Kind::kSummary:
      m_reachedSummary = true;
      m_ending["summary"] = message.text;
      m_ending["stopped"] = message.stopped;
      m_ending["directories_visited"] = message.directoriesVisited;
      // The summary reads as for a whole pass: a stop is told beside it.
      if (message.stopped) PrintLine(m_console.Err(), StoppedText(message));
      if (!m_json) PrintLine(m_console.Out(), message.text);
      return;
    case PassMessage::Kind::kFolder:
      PrintLine(m_console.Err(), message.folder + ": " + WithCause(message.text, message.cause));
      return;
    case PassMessage::Kind::kFileError:
      m_ending["error"] = {{"kind", "file-error"},
                           {"text", message.text},
                           {"cause", CauseJson(message.cause)},
                           {"folder", nullptr},
                           {"file", nullptr}};
      if (!message.file.empty()) m_ending["error"]["file"] = PathJson(message.file);
      if (message.folder.empty()) break;
      m_failedFolder = {{"path", PathJson(message.folder)},
                        {"result", "file-error"},
                        {"message", message.text},
                        {"cause", CauseJson(message.cause)}};
      m_ending["error"]["folder"] = PathJson(message.folder);
      PrintLine(m_console.Err(), message.folder + ": " + WithCause(message.text, message.cause));
      return;
    case PassMessage::Kind::kPassLevel:
      m_ending["error"] = {{"kind", "pass"}, {"text", message.text}, {"cause", nullptr}};
      break;
  }
  PrintLine(m_console.Err(), WithCause(message.text, message.cause));
}

void CliFrontEnd::DrawUnreadable(const PassReport::Entry& entry) {
  m_progress.Erase();
  PrintLine(m_console.Err(), entry.Line());
}

// One message, one line: nothing in a name can end it early or reach the terminal as a command.
void CliFrontEnd::PrintLine(std::FILE* stream, const std::string& text) {
  m_console.Print(stream, TerminalText(text) + "\n");
}
