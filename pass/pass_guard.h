#pragma once

#include <functional>
#include <string>

#include "pass/pass_front_end.h"
#include "platform/file_error.h"

// The text a user is shown for a file error: the cause's text with the file's full path where a
// write failed, or else "一未命名文件", as the classic texts have it.
std::string FileErrorText(const FileError& error);

// Runs a pass as a front end's message handler does: a file error that ends it is shown once,
// with the stop icon; running out of memory shows "内存不足。". Returns false when either ended
// the pass.
bool RunGuarded(PassFrontEnd& frontEnd, const std::function<void()>& pass);
