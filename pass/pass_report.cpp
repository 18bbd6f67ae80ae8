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
  return outcome.message;
}

}  // namespace

void PassReport::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  m_lines.push_back(path + ": " + OutcomeText(outcome));
}

void PassReport::FolderUnreadable(const std::string& path, const std::string& cause) {
  m_lines.push_back(path + ": cannot read this folder (" + cause + ")");
}

std::string PassReport::Text(std::string_view lineEnd) const {
  std::string text;
  for (const std::string& line : m_lines) {
    if (!text.empty()) text += lineEnd;
    text += line;
  }
  return text;
}
