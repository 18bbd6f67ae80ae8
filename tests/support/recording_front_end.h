#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "pass/pass_front_end.h"

namespace testing_support {

// Records what a pass shows, and lets a test act while a message is "on screen".
class RecordingFrontEnd : public PassFrontEnd {
 public:
  void ShowMessage(const PassMessage& message) override;
  void DirectoryVisited(const std::string& path) override;
  void FolderUnreadable(const std::string& path, const std::string& cause) override {
    unreadable.emplace_back(path, cause);
  }
  void FolderHandled(const std::string& path, const FolderOutcome& outcome) override;
  bool CancelRequested() override { return cancel && cancel(); }

  // The texts shown, in order; folder messages as "FOLDER: TEXT".
  std::vector<std::string> Texts() const;

  std::vector<PassMessage> messages;
  std::vector<std::string> visited;
  std::vector<std::pair<std::string, std::string>> unreadable;  // path and cause
  std::function<void(const std::string&)> onVisit;              // runs as a directory is visited
  std::function<bool()> cancel;                                 // asked between two folders
  std::vector<std::string> handled;  // folder paths, in the order they were handled
  std::vector<FolderOutcome> outcomes;
  std::function<void(const PassMessage&)> onMessage;  // runs before ShowMessage returns
};

}  // namespace testing_support
