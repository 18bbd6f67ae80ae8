#include "pass/pass_report.h"

#include <gtest/gtest.h>

namespace {

// A summary; a stopped one was stopped while looking for discs, unless `discsBegun` of 12 discs
// had been begun.
PassMessage Summary(bool stopped, std::size_t directories, std::size_t discsBegun = 0) {
  return {PassMessage::Kind::kSummary,
          PassMessage::Icon::kWarning,
          "Modify 3 file successful",
          {},
          {},
          stopped,
          directories,
          discsBegun == 0,
          12,
          discsBegun};
}

TEST(PassReportTest, OneLinePerFolderInTheOrderOfTheWalk) {
  PassReport report;
  EXPECT_EQ(report.Details(Summary(false, 1)), "");
  report.FolderHandled("C:\\a\\BDMV", {FolderOutcome::Kind::kPatched, {}});
  report.FolderUnreadable("C:\\b", "Access is denied.", UnreadableKind::kFolder);
  report.FolderUnreadable("C:\\b.iso", "Input/output error", UnreadableKind::kImage);
  report.FolderHandled("C:\\c\\BDMV", {FolderOutcome::Kind::kAlreadyPatched, {}});
  report.FolderHandled("C:\\d\\BDMV", {FolderOutcome::Kind::kRestored, {}});
  report.FolderHandled("C:\\e\\BDMV", FolderOutcome::Reported("the folder's own message"));
  report.FolderHandled("C:\\f\\BDMV", FolderOutcome::Reported("its message", "Input/output error"));
  EXPECT_EQ(report.Details(Summary(false, 9), "\r\n"),
            "C:\\a\\BDMV: patched\r\n"
            "C:\\b: cannot read this folder (Access is denied.)\r\n"
            "C:\\b.iso: cannot read this image (Input/output error)\r\n"
            "C:\\c\\BDMV: already patched\r\n"
            "C:\\d\\BDMV: restored\r\n"
            "C:\\e\\BDMV: the folder's own message\r\n"
            "C:\\f\\BDMV: its message (Input/output error)");
}

// What each box shows: the message's own text stays whole in the box; a stop adds a line to it and
// opens the details; a failure's cause goes to the details alone.
TEST(PassReportTest, BoxesTellAStopAndTheCauseOfAFailure) {
  PassReport report;
  report.FolderHandled("/m/a/BDMV", {FolderOutcome::Kind::kPatched, {}});
  const PassMessage fileError = {PassMessage::Kind::kFileError,
                                 PassMessage::Icon::kStop,
                                 "在存取 一未命名文件 时一个硬件输入/输出错误被报告。",
                                 {},
                                 "Input/output error"};
  const PassMessage folder = {PassMessage::Kind::kFolder, PassMessage::Icon::kWarning,
                              "Modify Fail,Can not read BDMV folder", "/m/b/BDMV",
                              "Input/output error"};
  const PassMessage noCause = {
      PassMessage::Kind::kPassLevel, PassMessage::Icon::kWarning, "Floder Path ERR.", {}};
  PassMessage inHand = fileError;  // as the front end and the guard fill it in
  inHand.folder = "/m/b/BDMV";
  inHand.file = "/m/b/BDMV/index.bdmv";
  PassMessage ownFinding = inHand;  // no system call failed: the system describes nothing
  ownFinding.cause.clear();
  // A summary is never "stopped" unless the walk said so, whatever else it carries.
  PassMessage notASummary = fileError;
  notASummary.stopped = true;
  struct Case {
    const char* name;
    PassMessage message;
    std::string box, details, stopped;
  };
  const std::vector<Case> cases = {
      {"whole pass", Summary(false, 4), "Modify 3 file successful", "/m/a/BDMV: patched", ""},
      {"stopped pass", Summary(true, 196),
       "Modify 3 file successful\nStopped after visiting 196 directories.",
       "Stopped after visiting 196 directories.\n/m/a/BDMV: patched",
       "Stopped after visiting 196 directories."},
      {"stopped among the discs", Summary(true, 196, 3),
       "Modify 3 file successful\nStopped after 3 of 12 discs.",
       "Stopped after 3 of 12 discs.\n/m/a/BDMV: patched", "Stopped after 3 of 12 discs."},
      {"file error", fileError, fileError.text, "Input/output error", ""},
      {"file error in a folder", inHand, fileError.text,
       "Folder: /m/b/BDMV\nFile: /m/b/BDMV/index.bdmv\nInput/output error", ""},
      {"file error of its own finding", ownFinding, fileError.text,
       "Folder: /m/b/BDMV\nFile: /m/b/BDMV/index.bdmv", ""},
      {"folder", folder, folder.text, "Input/output error", ""},
      {"no cause", noCause, "Floder Path ERR.", "", ""},
      {"stopped is the summary's", notASummary, fileError.text, "Input/output error", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BoxText(c.message), c.box);
    EXPECT_EQ(report.Details(c.message), c.details);
    EXPECT_EQ(StoppedText(c.message), c.stopped);
  }
  EXPECT_EQ(PassReport().Details(Summary(true, 1)), "Stopped after visiting 1 directories.")
      << "a stop opens the details even with no folder to list";
  EXPECT_EQ(WithCause("text", "cause"), "text (cause)");
  EXPECT_EQ(WithCause("text", ""), "text");
}

}  // namespace
