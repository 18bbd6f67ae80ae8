#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pass/pass_front_end.h"

namespace testing_support {

// Records what a pass shows, and lets a test act while a message is "on screen".
class RecordingFrontEnd : public PassFrontEnd {
 public:
  void ShowMessage(const PassMessage& message) override;
  void DirectoryVisited(const std::string& path) override { visited.push_back(path); }
  void FolderHandled(const std::string& path, const FolderOutcome& outcome) override;

  // The texts shown, in order; folder messages as "FOLDER: TEXT".
  std::vector<std::string> Texts() const;

  std::vector<PassMessage> messages;
  std::vector<std::string> visited;
  std::vector<std::string> handled;  // folder paths, in the order they were handled
  std::vector<FolderOutcome> outcomes;
  std::function<void(const PassMessage&)> onMessage;  // runs before ShowMessage returns
};

}  // namespace testing_support
