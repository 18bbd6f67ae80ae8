#include "pass/pass_report.h"

namespace {

std::string OutcomeText(const FolderOutcome& outcome) {
  switch (outcome.kind) {
    case FolderOutcome::Kind::kPatched:
      return "patched";
    case FolderOutcome::Kind::kAlreadyPatched:
      return "already patched";
    case FolderOutcome::Kind::kRestored:
      return "restored";
    case FolderOutcome::Kind::kReported:
      break;
  }
  return WithCause(outcome.message, outcome.cause);
}

}  // namespace

std::string StoppedText(const PassMessage& message) {
  if (message.kind != PassMessage::Kind::kSummary || !message.stopped) return {};
  return "Stopped after visiting " + std::to_string(message.directoriesVisited) + " directories.";
}

std::string WithCause(const std::string& text, const std::string& cause) {
  return cause.empty() ? text : text + " (" + cause + ")";
}

std::string BoxText(const PassMessage& message) {
  const std::string stopped = StoppedText(message);
  return stopped.empty() ? message.text : message.text + "\n" + stopped;
}

void PassReport::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  m_lines.push_back(path + ": " + OutcomeText(outcome));
}

void PassReport::FolderUnreadable(const std::string& path, const std::string& cause) {
  m_lines.push_back(path + ": cannot read this folder (" + cause + ")");
}

std::string PassReport::Details(const PassMessage& message, std::string_view lineEnd) const {
  if (message.kind != PassMessage::Kind::kSummary) return message.cause;
  std::string text = StoppedText(message);
  for (const std::string& line : m_lines) {
    if (!text.empty()) text += lineEnd;
    text += line;
  }
  return text;
}
