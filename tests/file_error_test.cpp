#include "platform/file_error.h"

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "pass/pass_guard.h"
#include "pass/walk_error.h"
#include "tests/support/platform_build.h"
#include "tests/support/recording_front_end.h"

namespace {

using testing_support::kPlainPosix;

// Every cause is derived from the error code alone; the user's text names no file but where a
// write failed, and the description is the system's own.
TEST(FileErrorTest, SystemErrorsMapToTheirCausesAndTexts) {
  struct Case {
    int error;
    FileErrorCause cause;
    const char* text;
  };
  std::vector<Case> cases = {
      {ENOENT, FileErrorCause::kFileNotFound, "没有找到 一未命名文件。"},
      {ENOTDIR, FileErrorCause::kBadPath, "一未命名文件 中包含无效的路径。"},
      {ENAMETOOLONG, FileErrorCause::kBadPath, "一未命名文件 中包含无效的路径。"},
      {EACCES, FileErrorCause::kAccessDenied, "对 一未命名文件 的存取被拒绝。"},
      {EPERM, FileErrorCause::kAccessDenied, "对 一未命名文件 的存取被拒绝。"},
      {EROFS, FileErrorCause::kAccessDenied, "对 一未命名文件 的存取被拒绝。"},
      {EMFILE, FileErrorCause::kTooManyOpenFiles, "无法打开 一未命名文件 因为太多文件已被打开。"},
      {ENFILE, FileErrorCause::kTooManyOpenFiles, "无法打开 一未命名文件 因为太多文件已被打开。"},
      {ENOSPC, FileErrorCause::kDiskFull, "在存取 一未命名文件 时磁盘已满。"},
      {EDQUOT, FileErrorCause::kDiskFull, "在存取 一未命名文件 时磁盘已满。"},
      {EFBIG, FileErrorCause::kDiskFull, "在存取 一未命名文件 时磁盘已满。"},
      {EIO, FileErrorCause::kHardIO, "在存取 一未命名文件 时一个硬件输入/输出错误被报告。"},
      {EWOULDBLOCK, FileErrorCause::kSharingViolation, "在存取 一未命名文件 时发生共享违例。"},
      {ENOLCK, FileErrorCause::kLockViolation, "在存取 一未命名文件 时发生锁违例。"},
      {EBADF, FileErrorCause::kInvalidFile, "一个无效的文件柄与 一未命名文件 相关联。"},
      {ESPIPE, FileErrorCause::kBadSeek, "对 一未命名文件 进行查找失败。"},
      {EMLINK, FileErrorCause::kDirectoryFull, "该目录已满，无法创建 一未命名文件。"},
      {EBUSY, FileErrorCause::kRemoveCurrentDir, "无法删除 一未命名文件 因为它是当前目录。"},
      {EXDEV, FileErrorCause::kGeneric, "在对 一未命名文件 进行访问时发生了一个不明错误。"},
  };
#ifdef ENOMEDIUM
  // Linux's own device errors are hardware errors where its calls are used; POSIX knows no such
  // number.
  const FileErrorCause linuxDevice =
      kPlainPosix ? FileErrorCause::kGeneric : FileErrorCause::kHardIO;
  const char* linuxDeviceText = kPlainPosix ? "在对 一未命名文件 进行访问时发生了一个不明错误。"
                                            : "在存取 一未命名文件 时一个硬件输入/输出错误被报告。";
  cases.push_back({ENOMEDIUM, linuxDevice, linuxDeviceText});
  cases.push_back({EREMOTEIO, linuxDevice, linuxDeviceText});
#endif
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    const FileError opened(platform::SystemError(c.error), platform::FileOperation::kOpen,
                           "index.bdmv");
    EXPECT_EQ(opened.Cause(), c.cause);
    EXPECT_EQ(opened.code().value(), c.error);
    EXPECT_EQ(opened.Description(), std::strerror(c.error));
    EXPECT_EQ(FileErrorText(opened), c.text);
    // The standard category of the same number is the same cause.
    EXPECT_EQ(platform::CauseOf({c.error, std::generic_category()}), c.cause);
  }
}

TEST(FileErrorTest, AFailureSaysWhatWasDoneToWhichPathAndWhy) {
  const FileError write(platform::SystemError(ENOSPC), platform::FileOperation::kWrite,
                        "/d/BDMV/index.bdmv");
  EXPECT_STREQ(write.what(), "write /d/BDMV/index.bdmv: No space left on device");
  EXPECT_EQ(write.Operation(), platform::FileOperation::kWrite);
  EXPECT_EQ(write.Path(), "/d/BDMV/index.bdmv");
  EXPECT_EQ(FileErrorText(write), "在存取 /d/BDMV/index.bdmv 时磁盘已满。");

  const FileError read(platform::SystemError(EIO), platform::FileOperation::kRead);
  EXPECT_STREQ(read.what(), "read: Input/output error");

  // A short file is Quorvel's own finding: no system description goes beside its text.
  const FileError shortFile(platform::EndOfFileError(), platform::FileOperation::kRead);
  EXPECT_EQ(shortFile.Cause(), FileErrorCause::kEndOfFile);
  EXPECT_EQ(shortFile.Description(), "");
  EXPECT_EQ(FileErrorText(shortFile), "试图越过其尾端对 一未命名文件 进行读写。");

  const FileError moved(MovedDuringWalk(), platform::FileOperation::kOpen, "q");
  EXPECT_EQ(moved.Cause(), FileErrorCause::kGeneric);
  EXPECT_EQ(moved.Description(), "moved or replaced during the walk");
}

TEST(FileErrorTest, TheGuardReportsAFailureOnce) {
  testing_support::RecordingFrontEnd frontEnd;
  EXPECT_FALSE(RunGuarded(frontEnd, [] {
    throw FileError(platform::AccessDeniedError(), platform::FileOperation::kWrite, "x");
  }));
  EXPECT_FALSE(RunGuarded(frontEnd, [] { throw std::bad_alloc(); }));
  EXPECT_TRUE(RunGuarded(frontEnd, [] {}));

  ASSERT_EQ(frontEnd.messages.size(), 2u);
  EXPECT_EQ(frontEnd.messages[0].kind, PassMessage::Kind::kFileError);
  EXPECT_EQ(frontEnd.messages[0].icon, PassMessage::Icon::kStop);
  EXPECT_EQ(frontEnd.messages[0].text, "对 x 的存取被拒绝。");
  EXPECT_EQ(frontEnd.messages[0].cause, "Permission denied");
  EXPECT_EQ(frontEnd.messages[0].file, "x");
  EXPECT_EQ(frontEnd.messages[1].icon, PassMessage::Icon::kWarning);
  EXPECT_EQ(frontEnd.messages[1].text, "内存不足。");
}

}  // namespace
