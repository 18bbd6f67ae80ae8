#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pass/pass_front_end.h"

namespace testing_support {

// Records what a pass shows, and lets a test act while a message is "on screen".
class RecordingFrontEnd : public PassFrontEnd {
 public:
  void ShowMessage(const PassMessage& message) override;
  void Searching(std::size_t directories, std::size_t found) override;
  void DiscsFound(std::size_t discs) override { discsFound = discs; }
  void FolderUnreadable(const std::string& path, const std::string& cause,
                        UnreadableKind kind) override {
    unreadable.emplace_back(path, cause);
    if (kind == UnreadableKind::kImage) unreadableImages.push_back(path);
  }
  void FolderHandled(const std::string& path, const FolderOutcome& outcome) override;
  bool CancelRequested() override { return cancel && cancel(); }

  // The texts shown, in order; folder messages as "FOLDER: TEXT".
  std::vector<std::string> Texts() const;

  std::vector<PassMessage> messages;
  std::pair<std::size_t, std::size_t> searched;  // directories visited and discs found, last told
  std::optional<std::size_t> discsFound;         // once the search is over
  std::vector<std::pair<std::string, std::string>> unreadable;  // path and cause
  std::vector<std::string> unreadableImages;
  std::function<bool()> cancel;      // asked between two directories or two discs
  std::vector<std::string> handled;  // folder paths, in the order they were handled
  std::vector<FolderOutcome> outcomes;
  std::function<void(const PassMessage&)> onMessage;  // runs before ShowMessage returns
};

}  // namespace testing_support
