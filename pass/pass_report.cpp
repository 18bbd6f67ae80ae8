#include "pass/pass_report.h"

#include <algorithm>

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
  if (message.stoppedSearching) {
    return "Stopped after visiting " + std::to_string(message.directoriesVisited) + " directories.";
  }
  return "Stopped after " + std::to_string(message.discsBegun) + " of " +
         std::to_string(message.discsFound) + " discs.";
}

std::string WithCause(const std::string& text, const std::string& cause) {
  return cause.empty() ? text : text + " (" + cause + ")";
}

std::string BoxText(const PassMessage& message) {
  const std::string stopped = StoppedText(message);
  return stopped.empty() ? message.text : message.text + "\n" + stopped;
}

std::string PassReport::Entry::Line() const {
  if (!outcome) {
    const char* what = kind == UnreadableKind::kImage ? "image" : "folder";
    return path + ": cannot read this " + what + " (" + cause + ")";
  }
  return path + ": " + OutcomeText(*outcome);
}

void PassReport::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  m_entries.push_back({path, outcome});
}

void PassReport::FolderUnreadable(const std::string& path, const std::string& cause,
                                  UnreadableKind kind) {
  m_entries.push_back({path, std::nullopt, cause, kind});
}

bool PassReport::AllHandled() const {
  return std::all_of(m_entries.begin(), m_entries.end(),
                     [](const Entry& entry) { return entry.outcome && entry.outcome->Counted(); });
}

std::string PassReport::Details(const PassMessage& message, std::string_view lineEnd) const {
  if (message.kind == PassMessage::Kind::kFileError) {
    // The box's text names no folder, and a pass may have been through hundreds.
    std::string text;
    for (const std::string& line :
         {message.folder.empty() ? "" : "Folder: " + message.folder,
          message.file.empty() ? "" : "File: " + message.file, message.cause}) {
      if (line.empty()) continue;
      if (!text.empty()) text += lineEnd;
      text += line;
    }
    return text;
  }
  if (message.kind != PassMessage::Kind::kSummary) return message.cause;
  std::string text = StoppedText(message);
  for (const Entry& entry : m_entries) {
    if (!text.empty()) text += lineEnd;
    text += entry.Line();
  }
  return text;
}
