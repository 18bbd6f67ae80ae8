#pragma once

#include <string>
#include <utility>

#include "platform/file_error.h"

// What a per-folder operation did with one BDMV folder.
struct FolderOutcome {
  enum class Kind { kPatched, kAlreadyPatched, kRestored, kReported };

  Kind kind;
  std::string message;     // the text shown for kReported
  std::string cause = {};  // the system's own description of what failed, when it said

  static FolderOutcome Reported(std::string text, std::string cause = {}) {
    return {Kind::kReported, std::move(text), std::move(cause)};
  }
  static FolderOutcome Reported(std::string text, const FileError& failure) {
    return Reported(std::move(text), failure.Description());
  }
  bool Counted() const { return kind != Kind::kReported; }
};
