#pragma once

#include <string>
#include <utility>

// What a per-folder operation did with one BDMV folder.
struct FolderOutcome {
  enum class Kind { kPatched, kAlreadyPatched, kRestored, kReported };

  Kind kind;
  std::string message;  // the text shown for kReported

  static FolderOutcome Reported(std::string text) { return {Kind::kReported, std::move(text)}; }
  bool Counted() const { return kind != Kind::kReported; }
};
