#include "cli/json_report.h"

#include <algorithm>
#include <cstdint>

#include "cli/utf8.h"

namespace {

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string encoded;
  encoded.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - at);
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      group = (group << 8) | (i < count ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    }
    for (std::size_t i = 0; i < 4; ++i) {
      encoded += i <= count ? kDigits[(group >> (18 - 6 * i)) & 0x3F] : '=';
    }
  }
  return encoded;
}

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

nlohmann::json PathJson(const std::string& path) {
  if (IsUtf8(path)) return path;
  return {{"bytes", Base64(path)}};
}

nlohmann::json ScanFolderJson(const std::string& path, const BdmvFolderState& state) {
  nlohmann::json folder = {{"path", PathJson(path)}};
  folder["index_file"] = NameOrNull(state.indexFile);
  folder["index_readable"] = state.indexReadable;
  // Unknown, null, when the index file could not be read.
  const bool known = state.indexFile.empty() || state.indexReadable;
  const auto knownOrNull = [known](bool value) { return known ? nlohmann::json(value) : nullptr; };
  folder["index_table"] = knownOrNull(state.isIndexTable);
  folder["patched"] = knownOrNull(state.patched);
  folder["unfinished"] = knownOrNull(state.unfinished);
  folder["flags"] = state.isIndexTable ? nlohmann::json(state.flags) : nlohmann::json();
  folder["backup"] = !state.backupFile.empty();
  folder["backup_file"] = NameOrNull(state.backupFile);
  return folder;
}

nlohmann::json FolderOutcomeJson(const std::string& path, const FolderOutcome& outcome) {
  nlohmann::json folder = {{"path", PathJson(path)}, {"result", OutcomeName(outcome.kind)}};
  if (outcome.kind == FolderOutcome::Kind::kReported) {
    folder["message"] = outcome.message;
    folder["cause"] = CauseJson(outcome.cause);
  }
  return folder;
}

nlohmann::json CauseJson(const std::string& cause) {
  return NameOrNull(cause);
}

std::string DumpJson(const nlohmann::json& document) {
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}
