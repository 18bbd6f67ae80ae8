#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "bdmv/bdmv_folder_state.h"
#include "bdmv/folder_outcome.h"

// A path as JSON: the string itself when it is UTF-8, else {"bytes": BASE64} with the bytes it
// is made of, so that a script can still name the folder.
nlohmann::json PathJson(const std::string& path);

// One folder of a scan, as the JSON output describes it.
nlohmann::json ScanFolderJson(const std::string& path, const BdmvFolderState& state);

// What happened to one folder in a pass: "patched", "already-patched", "restored", "reported".
nlohmann::json FolderOutcomeJson(const std::string& path, const FolderOutcome& outcome);

// The system's own description of a failure; null when it gave none.
nlohmann::json CauseJson(const std::string& cause);

// Texts other than paths may carry a file's name that is not UTF-8 either: invalid sequences are
// replaced, never thrown on.
std::string DumpJson(const nlohmann::json& document);
