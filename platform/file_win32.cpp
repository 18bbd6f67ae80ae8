#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/touch_win32.h"
#include "platform/utf16_win32.h"

namespace platform {
namespace {

constexpr DWORD kLargestRead = 1u << 30;
// The attributes a replaced file passes on to its successor.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE Native(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

[[noreturn]] void ThrowLastError(const std::string& fileName = {}) {
  ThrowFileError(static_cast<int>(GetLastError()), fileName);
}

std::wstring PathIn(const Directory& dir, const std::string& name) {
  const std::wstring& folder = dir.NativePath();
  return folder.back() == L'\\' ? folder + Widen(name) : folder + L'\\' + Widen(name);
}

// Never through a link: a reparse point is opened as itself and refused.
std::intptr_t OpenExisting(const Directory& dir, const std::string& name, DWORD access,
                           DWORD share) {
  HANDLE handle = CreateFileW(PathIn(dir, name).c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) ThrowLastError();
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) {
    const DWORD error = GetLastError();
    CloseHandle(handle);
    ThrowFileError(static_cast<int>(error));
  }
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(handle);
    ThrowFileError(ERROR_FILE_NOT_FOUND);
  }
  return reinterpret_cast<std::intptr_t>(handle);
}

void SetBasicInfo(HANDLE handle, FILE_BASIC_INFO info) {
  if (!SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info)) ThrowLastError();
}

void CheckInjected(IoStep step) {
  if (int error = InjectedFault(step); error > 0) ThrowFileError(error);
}

std::string TemporaryName(const std::string& finalName) {
  static std::atomic<unsigned> counter{0};
  return "." + finalName + ".quorvel-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(counter++);
}

}  // namespace

File::File(File&& other) noexcept : m_handle(other.m_handle) {
  other.m_handle = -1;
}

File::~File() {
  Close();
}

void File::Close() {
  if (m_handle != -1) CloseHandle(Native(m_handle));
  m_handle = -1;
}

File File::OpenForReading(const Directory& dir, const std::string& name) {
  return File(OpenExisting(dir, name, GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
}

// The file is closed before anything is renamed over it, so it need not share deleting either.
File File::OpenExclusive(const Directory& dir, const std::string& name) {
  return File(OpenExisting(dir, name, GENERIC_READ, 0));
}

File File::OpenForUpdate(const Directory& dir, const std::string& name) {
  return File(OpenExisting(dir, name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ));
}

std::uint64_t File::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(m_handle), &size)) ThrowLastError();
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::size_t File::ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const {
  std::size_t total = 0;
  while (total < buffer.size()) {
    const std::uint64_t at = offset + total;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD wanted =
        static_cast<DWORD>(std::min<std::size_t>(buffer.size() - total, kLargestRead));
    DWORD count = 0;
    if (!ReadFile(Native(m_handle), buffer.data() + total, wanted, &count, &position)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      ThrowLastError();
    }
    if (count == 0) break;
    total += count;
  }
  return total;
}

void File::SetModificationTimeToNow() {
  FILE_BASIC_INFO status;
  if (!GetFileInformationByHandleEx(Native(m_handle), FileBasicInfo, &status, sizeof status)) {
    ThrowLastError();
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER nowTicks;
  nowTicks.LowPart = now.dwLowDateTime;
  nowTicks.HighPart = static_cast<LONG>(now.dwHighDateTime);
  SetBasicInfo(Native(m_handle), TouchedStatus(status, nowTicks));
}

bool IsReadOnly(const Directory& dir, const std::string& name) {
  const DWORD attributes = GetFileAttributesW(PathIn(dir, name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

NewFile::NewFile(const Directory& dir, std::string finalName, std::string displayName)
    : m_dir(dir), m_finalName(std::move(finalName)), m_displayName(std::move(displayName)) {
  for (int attempt = 0; m_handle == -1; ++attempt) {
    m_tempName = TemporaryName(m_finalName);
    // Hidden until it is published, so that no one sees it half written, nor left behind.
    HANDLE handle = CreateFileW(PathIn(dir, m_tempName).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      m_handle = reinterpret_cast<std::intptr_t>(handle);
    } else if (GetLastError() != ERROR_FILE_EXISTS || attempt == 100) {
      ThrowLastError();
    }
  }
}

NewFile::~NewFile() {
  if (m_handle != -1) CloseHandle(Native(m_handle));
  if (!m_published) DeleteFileW(PathIn(m_dir, m_tempName).c_str());
}

void NewFile::Write(std::span<const std::uint8_t> bytes) {
  DWORD count = 0;
  if (int fault = InjectedFault(IoStep::kWrite); fault == kShortWrite) {
    bytes = bytes.first(bytes.size() / 2);
    if (!bytes.empty() && !WriteFile(Native(m_handle), bytes.data(),
                                     static_cast<DWORD>(bytes.size()), &count, nullptr)) {
      ThrowLastError();
    }
    ThrowFileError(ERROR_DISK_FULL, m_displayName);
  } else if (fault > 0) {
    ThrowFileError(fault, m_displayName);
  }
  while (!bytes.empty()) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kLargestRead));
    if (!WriteFile(Native(m_handle), bytes.data(), wanted, &count, nullptr)) {
      ThrowLastError(m_displayName);
    }
    if (count == 0) ThrowFileError(ERROR_DISK_FULL, m_displayName);
    bytes = bytes.subspan(count);
  }
}

void NewFile::CopyPermissionsFrom(const File& original) {
  // Access rights come from the folder's inherited ones; the attributes are the file's own, and it
  // takes them when it is published.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Native(original.NativeHandle()), &info)) ThrowLastError();
  m_attributes = info.dwFileAttributes & kKeptAttributes;
}

void NewFile::Publish(bool replaceExisting) {
  FILE_BASIC_INFO shown{};  // times of zero are left as they are
  shown.FileAttributes = m_attributes != 0 ? m_attributes : FILE_ATTRIBUTE_NORMAL;
  SetBasicInfo(Native(m_handle), shown);
  CheckInjected(IoStep::kFlush);
  if (!FlushFileBuffers(Native(m_handle))) ThrowLastError();
  HANDLE handle = Native(m_handle);
  m_handle = -1;
  if (!CloseHandle(handle)) ThrowLastError();

  CheckInjected(IoStep::kRename);
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replaceExisting ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(PathIn(m_dir, m_tempName).c_str(), PathIn(m_dir, m_finalName).c_str(), flags)) {
    ThrowLastError();
  }
  m_published = true;

  CheckInjected(IoStep::kFlush);
  if (const std::error_code flushError = m_dir.Flush()) ThrowFileError(flushError.value());
}

}  // namespace platform
