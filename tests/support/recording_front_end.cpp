#include "tests/support/recording_front_end.h"

namespace testing_support {

void RecordingFrontEnd::ShowMessage(const PassMessage& message) {
  messages.push_back(message);
  if (onMessage) onMessage(message);
}

void RecordingFrontEnd::Searching(std::size_t directories, std::size_t found) {
  searched = {directories, found};
}

void RecordingFrontEnd::FolderHandled(const std::string& path, const FolderOutcome& outcome) {
  handled.push_back(path);
  outcomes.push_back(outcome);
}

std::vector<std::string> RecordingFrontEnd::Texts() const {
  std::vector<std::string> texts;
  for (const auto& message : messages) {
    texts.push_back(message.folder.empty() ? message.text : message.folder + ": " + message.text);
  }
  return texts;
}

}  // namespace testing_support
