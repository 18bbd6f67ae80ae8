#include "tests/support/pass_runner.h"

#include "pass/pass_guard.h"
#include "pass/passes.h"

namespace testing_support {

RecordingFrontEnd ModifyTree(const std::filesystem::path& folder, bool convert3DTo2D) {
  RecordingFrontEnd frontEnd;
  RunGuarded(frontEnd, [&] { RunModifyPass(folder.string(), convert3DTo2D ? 1 : 0, frontEnd); });
  return frontEnd;
}

RecordingFrontEnd RestoreTree(const std::filesystem::path& folder) {
  RecordingFrontEnd frontEnd;
  RunGuarded(frontEnd, [&] { RunRestorePass(folder.string(), frontEnd); });
  return frontEnd;
}

}  // namespace testing_support
