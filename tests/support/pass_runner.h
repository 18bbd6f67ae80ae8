#pragma once

#include <filesystem>

#include "tests/support/recording_front_end.h"

namespace testing_support {

// Run a pass as a front end does, the guard included, and return what it showed.
RecordingFrontEnd ModifyTree(const std::filesystem::path& folder, bool convert3DTo2D = false);
RecordingFrontEnd RestoreTree(const std::filesystem::path& folder);

}  // namespace testing_support
