#include "cli/cli_front_end.h"

#include <cstdio>

#include "cli/json_report.h"

CliFrontEnd::CliFrontEnd(bool showProgress, bool json)
    : m_json(json),
      m_progress(showProgress),
      m_report({{"folders", nlohmann::json::array()},
                {"unreadable", nlohmann::json::array()},
                {"count", 0},
                {"summary", nullptr},
                {"error", nullptr}}) {}

void CliFrontEnd::ShowMessage(const PassMessage& message) {
  m_progress.Erase();
  switch (message.kind) {
    case PassMessage::Kind::kSummary:
      m_reachedSummary = true;
      m_report["summary"] = message.text;
      if (!m_json) std::printf("%s\n", message.text.c_str());
      return;
    case PassMessage::Kind::kFolder:
      m_anyFolderReported = true;
      std::fprintf(stderr, "%s: %s\n", message.folder.c_str(), message.text.c_str());
      return;
    case PassMessage::Kind::kFileError:
      if (!m_current.empty()) {
        m_report["folders"].push_back(
            {{"path", m_current}, {"result", "file-error"}, {"message", message.text}});
      }
      m_report["error"] = {{"kind", "file-error"}, {"text", message.text}};
      break;
    case PassMessage::Kind::kPassLevel:
      m_report["error"] = {{"kind", "pass"}, {"text", message.text}};
      break;
  }
  std::fprintf(stderr, "%s\n", message.text.c_str());
}

void CliFrontEnd::DirectoryVisited(const std::string& path) {
  ++m_directories;
  m_progress.Update(m_directories, m_found, m_handled, path);
}

void CliFrontEnd::FolderUnreadable(const std::string& path, const std::string& cause) {
  m_progress.Erase();
  m_anyFolderReported = true;
  m_report["unreadable"].push_back({{"path", path}, {"cause", cause}});
  std::fprintf(stderr, "%s: cannot read this folder (%s)\n", path.c_str(), cause.c_str());
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
