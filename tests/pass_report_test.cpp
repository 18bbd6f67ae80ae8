#include "pass/pass_report.h"

#include <gtest/gtest.h>

namespace {

TEST(PassReportTest, OneLinePerFolderInTheOrderOfTheWalk) {
  PassReport report;
  EXPECT_EQ(report.Text(), "");
  report.FolderHandled("C:\\a\\BDMV", {FolderOutcome::Kind::kPatched, {}});
  report.FolderUnreadable("C:\\b", "Access is denied.");
  report.FolderHandled("C:\\c\\BDMV", {FolderOutcome::Kind::kAlreadyPatched, {}});
  report.FolderHandled("C:\\d\\BDMV", {FolderOutcome::Kind::kRestored, {}});
  report.FolderHandled("C:\\e\\BDMV", FolderOutcome::Reported("the folder's own message"));
  EXPECT_EQ(report.Text("\r\n"),
            "C:\\a\\BDMV: patched\r\n"
            "C:\\b: cannot read this folder (Access is denied.)\r\n"
            "C:\\c\\BDMV: already patched\r\n"
            "C:\\d\\BDMV: restored\r\n"
            "C:\\e\\BDMV: the folder's own message");
}

}  // namespace
