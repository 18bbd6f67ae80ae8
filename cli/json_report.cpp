#include "cli/json_report.h"

namespace {

nlohmann::json NameOrNull(const std::string& name) {
  return name.empty() ? nlohmann::json() : nlohmann::json(name);
}

const char* OutcomeName(FolderOutcome::Kind kind) {
  switch (kind) {
    case FolderOutcome::Kind::kPatched:
      return "patched";
    case FolderOutcome::Kind::kAlreadyPatched:
      return "already-patched";
    case FolderOutcome::Kind::kRestored:
      return "restored";
    case FolderOutcome::Kind::kReported:
      break;
  }
  return "reported";
}

}  // namespace

nlohmann::json ScanFolderJson(const std::string& path, const BdmvFolderState& state) {
  nlohmann::json folder = {{"path", path}};
  folder["index_file"] = NameOrNull(state.indexFile);
  folder["index_readable"] = state.indexReadable;
  folder["index_table"] = state.isIndexTable;
  folder["patched"] = state.patched;
  folder["flags"] = state.isIndexTable ? nlohmann::json(state.flags) : nlohmann::json();
  folder["backup"] = !state.backupFile.empty();
  folder["backup_file"] = NameOrNull(state.backupFile);
  return folder;
}

nlohmann::json FolderOutcomeJson(const std::string& path, const FolderOutcome& outcome) {
  nlohmann::json folder = {{"path", path}, {"result", OutcomeName(outcome.kind)}};
  if (outcome.kind == FolderOutcome::Kind::kReported) folder["message"] = outcome.message;
  return folder;
}

std::string DumpJson(const nlohmann::json& document) {
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}
