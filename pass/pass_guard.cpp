#include "pass/pass_guard.h"

#include <new>

namespace {

const char* CauseText(FileErrorCause cause) {
  switch (cause) {
    case FileErrorCause::kFileNotFound:
      return "没有找到 %1。";
    case FileErrorCause::kBadPath:
      return "%1 中包含无效的路径。";
    case FileErrorCause::kTooManyOpenFiles:
      return "无法打开 %1 因为太多文件已被打开。";
    case FileErrorCause::kAccessDenied:
      return "对 %1 的存取被拒绝。";
    case FileErrorCause::kInvalidFile:
      return "一个无效的文件柄与 %1 相关联。";
    case FileErrorCause::kRemoveCurrentDir:
      return "无法删除 %1 因为它是当前目录。";
    case FileErrorCause::kDirectoryFull:
      return "该目录已满，无法创建 %1。";
    case FileErrorCause::kBadSeek:
      return "对 %1 进行查找失败。";
    case FileErrorCause::kHardIO:
      return "在存取 %1 时一个硬件输入/输出错误被报告。";
    case FileErrorCause::kSharingViolation:
      return "在存取 %1 时发生共享违例。";
    case FileErrorCause::kLockViolation:
      return "在存取 %1 时发生锁违例。";
    case FileErrorCause::kDiskFull:
      return "在存取 %1 时磁盘已满。";
    case FileErrorCause::kEndOfFile:
      return "试图越过其尾端对 %1 进行读写。";
    case FileErrorCause::kGeneric:
      break;
  }
  return "在对 %1 进行访问时发生了一个不明错误。";
}

}  // namespace

std::string FileErrorText(const FileError& error) {
  std::string text = CauseText(error.Cause());
  const bool named = error.Operation() == platform::FileOperation::kWrite && !error.Path().empty();
  const std::string name = named ? error.Path() : "一未命名文件";
  text.replace(text.find("%1"), 2, name);
  return text;
}

bool RunGuarded(PassFrontEnd& frontEnd, const std::function<void()>& pass) {
  try {
    pass();
    return true;
  } catch (const FileError& error) {
    // The folder in hand is the front end's to add: it has followed the walk.
    PassMessage message = {PassMessage::Kind::kFileError,
                           PassMessage::Icon::kStop,
                           FileErrorText(error),
                           {},
                           error.Description()};
    message.file = error.Path();
    frontEnd.ShowMessage(message);
  } catch (const std::bad_alloc&) {
    frontEnd.ShowMessage(
        {PassMessage::Kind::kPassLevel, PassMessage::Icon::kWarning, "内存不足。", {}});
  }
  return false;
}
