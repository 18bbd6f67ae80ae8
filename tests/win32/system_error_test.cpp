#include <windows.h>

#include <gtest/gtest.h>

#include "pass/pass_guard.h"
#include "platform/file_error.h"

namespace {

TEST(WindowsSystemErrorTest, ErrorCodesMapToTheirCausesAndTexts) {
  struct Case {
    DWORD error;
    const char* text;
  };
  const std::vector<Case> cases = {
      {ERROR_FILE_NOT_FOUND, "没有找到 一未命名文件。"},
      {ERROR_INVALID_HANDLE, "没有找到 一未命名文件。"},
      {ERROR_PATH_NOT_FOUND, "一未命名文件 中包含无效的路径。"},
      {ERROR_INVALID_DRIVE, "一未命名文件 中包含无效的路径。"},
      {ERROR_INVALID_NAME, "一未命名文件 中包含无效的路径。"},
      {ERROR_TOO_MANY_OPEN_FILES, "无法打开 一未命名文件 因为太多文件已被打开。"},
      {ERROR_ACCESS_DENIED, "对 一未命名文件 的存取被拒绝。"},
      {ERROR_WRITE_PROTECT, "对 一未命名文件 的存取被拒绝。"},
      {ERROR_WRITE_FAULT, "对 一未命名文件 的存取被拒绝。"},
      {ERROR_BAD_FORMAT, "一个无效的文件柄与 一未命名文件 相关联。"},
      {ERROR_NOT_DOS_DISK, "一个无效的文件柄与 一未命名文件 相关联。"},
      {ERROR_INVALID_TARGET_HANDLE, "一个无效的文件柄与 一未命名文件 相关联。"},
      {ERROR_CURRENT_DIRECTORY, "无法删除 一未命名文件 因为它是当前目录。"},
      {ERROR_CANNOT_MAKE, "该目录已满，无法创建 一未命名文件。"},
      {ERROR_SEEK, "对 一未命名文件 进行查找失败。"},
      {ERROR_SECTOR_NOT_FOUND, "对 一未命名文件 进行查找失败。"},
      {ERROR_READ_FAULT, "对 一未命名文件 进行查找失败。"},
      {ERROR_NOT_READY, "在存取 一未命名文件 时一个硬件输入/输出错误被报告。"},
      {ERROR_BAD_UNIT, "在存取 一未命名文件 时一个硬件输入/输出错误被报告。"},
      {ERROR_BAD_COMMAND, "在存取 一未命名文件 时一个硬件输入/输出错误被报告。"},
      {ERROR_CRC, "在存取 一未命名文件 时一个硬件输入/输出错误被报告。"},
      {ERROR_SHARING_VIOLATION, "在存取 一未命名文件 时发生共享违例。"},
      {ERROR_LOCK_VIOLATION, "在存取 一未命名文件 时发生锁违例。"},
      {ERROR_DISK_FULL, "在存取 一未命名文件 时磁盘已满。"},
      {ERROR_HANDLE_DISK_FULL, "在存取 一未命名文件 时磁盘已满。"},
      {ERROR_HANDLE_EOF, "试图越过其尾端对 一未命名文件 进行读写。"},
      {ERROR_NOT_SAME_DEVICE, "在对 一未命名文件 进行访问时发生了一个不明错误。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    const FileError error(platform::SystemError(static_cast<int>(c.error)),
                          platform::FileOperation::kOpen, "index.bdmv");
    EXPECT_EQ(FileErrorText(error), c.text);
  }
}

// The description beside a message is the system's own text for its Windows error code, as
// FormatMessage gives it (Wine's wording here).
TEST(WindowsSystemErrorTest, TheDescriptionIsTheSystemsOwnText) {
  char text[256] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     ERROR_SHARING_VIOLATION, 0, text, sizeof text, nullptr);
  ASSERT_GT(length, 0u);
  std::string expected(text, length);
  while (!expected.empty() && (expected.back() == '\n' || expected.back() == '\r' ||
                               expected.back() == '.' || expected.back() == ' ')) {
    expected.pop_back();
  }
  const FileError error(platform::SystemError(ERROR_SHARING_VIOLATION),
                        platform::FileOperation::kRename, "index.bdmv");
  EXPECT_EQ(error.Cause(), FileErrorCause::kSharingViolation);
  EXPECT_EQ(error.Description(), expected);
  EXPECT_EQ(std::string(error.what()), "rename index.bdmv: " + expected);
  EXPECT_EQ(platform::AccessDeniedError().value(), ERROR_ACCESS_DENIED);
}

}  // namespace
