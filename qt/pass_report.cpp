#include "qt/pass_report.h"

#include <QFile>

namespace {

QString OutcomeText(const FolderOutcome& outcome) {
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
  return QString::fromUtf8(outcome.message);
}

}  // namespace

void PassReport::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  m_lines.push_back(QFile::decodeName(path.c_str()) + ": " + OutcomeText(outcome));
}

void PassReport::FolderUnreadable(const std::string& path, const std::string& cause) {
  m_lines.push_back(QFile::decodeName(path.c_str()) + ": cannot read this folder (" +
                    QString::fromUtf8(cause) + ")");
}

QString PassReport::Text() const {
  return m_lines.join('\n');
}
