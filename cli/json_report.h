#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "bdmv/bdmv_folder_state.h"
#include "bdmv/folder_outcome.h"

// One folder of a scan, as the JSON output describes it.
nlohmann::json ScanFolderJson(const std::string& path, const BdmvFolderState& state);

// What happened to one folder in a pass: "patched", "already-patched", "restored", "reported".
nlohmann::json FolderOutcomeJson(const std::string& path, const FolderOutcome& outcome);

// File names are bytes, not always UTF-8: invalid sequences are replaced, never thrown on.
std::string DumpJson(const nlohmann::json& document);
