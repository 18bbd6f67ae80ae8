#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file_error.h"
#include "platform/flush_directory.h"
#include "platform/temporary_name.h"
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

// Throws the failure of the call that just failed.
[[noreturn]] void ThrowLastError(FileOperation operation, const std::string& path = {}) {
  throw FileError(LastSystemError(), operation, path);
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
  if (handle == INVALID_HANDLE_VALUE) ThrowLastError(FileOperation::kOpen, name);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) {
    const std::error_code error = LastSystemError();
    CloseHandle(handle);
    throw FileError(error, FileOperation::kStatus, name);
  }
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(handle);
    throw FileError(SystemError(ERROR_FILE_NOT_FOUND), FileOperation::kOpen, name);
  }
  return reinterpret_cast<std::intptr_t>(handle);
}

// Another Quorvel changing the same file holds a lock on one byte far past the end of any index
// file, where no reader reads: the lock keeps the passes apart and lets readers through.
OVERLAPPED PassLockByte() {
  OVERLAPPED at{};
  at.OffsetHigh = 0x40000000;
  return at;
}

void SetBasicInfo(HANDLE handle, FILE_BASIC_INFO info) {
  if (!SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info)) {
    ThrowLastError(FileOperation::kSetTime);
  }
}

FILE_BASIC_INFO BasicInfo(HANDLE handle) {
  FILE_BASIC_INFO info;
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &info, sizeof info)) {
    ThrowLastError(FileOperation::kStatus);
  }
  return info;
}

// The asked parts of a file's security descriptor, in its self-relative form.
std::vector<std::uint8_t> SecurityOf(HANDLE handle, SECURITY_INFORMATION parts) {
  DWORD size = 0;
  GetKernelObjectSecurity(handle, parts, nullptr, 0, &size);
  std::vector<std::uint8_t> descriptor(size);
  if (size == 0 || !GetKernelObjectSecurity(handle, parts, descriptor.data(), size, &size)) {
    ThrowLastError(FileOperation::kStatus);
  }
  return descriptor;
}

PSID OwnerIn(std::vector<std::uint8_t>& descriptor) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted)) {
    ThrowLastError(FileOperation::kStatus);
  }
  return owner;
}

// Whether the file's volume keeps access lists at all (FAT and exFAT do not).
bool KeepsAccessLists(HANDLE handle) {
  DWORD flags = 0;
  if (!GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
    ThrowLastError(FileOperation::kStatus);
  }
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

// A temporary file this old is abandoned even if a process of the same number lives.
constexpr std::uint64_t kAbandonedAfterTicks = 24ull * 60 * 60 * 10'000'000;
// Another program's brief handle on a file (an indexer, a virus scanner, a backup tool) is
// waited out for about a second before a rename writes the file in place instead, or a removal
// fails.
constexpr DWORD kHoldPauses[] = {10, 20, 40, 80, 150, 250, 450};

// The error of a call that returned `succeeded`, as a test may have it fail.
std::error_code Result(IoStep step, bool succeeded) {
  return StepResult(step, succeeded ? std::error_code() : LastSystemError());
}

void Check(IoStep step, bool succeeded, FileOperation operation, const std::string& path = {}) {
  if (const std::error_code error = Result(step, succeeded))
    throw FileError(error, operation, path);
}

bool ProcessExists(DWORD pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

bool Busy(const std::error_code& error) {
  return error == SystemError(ERROR_SHARING_VIOLATION) ||
         error == SystemError(ERROR_ACCESS_DENIED) || error == SystemError(ERROR_LOCK_VIOLATION);
}

// The result of `attempt`, tried again while another program briefly holds the file.
std::error_code WaitingOutHolds(const std::function<std::error_code()>& attempt) {
  std::error_code error = attempt();
  for (DWORD pause : kHoldPauses) {
    if (!Busy(error)) break;
    Sleep(pause);
    error = attempt();
  }
  return error;
}

// Renames the open file, waiting out a short hold of another program on the file it replaces.
// The handle stays open, so that the file can take its final attributes under its final name.
std::error_code Rename(HANDLE file, const std::wstring& to, bool replaceExisting) {
  const std::size_t nameBytes = to.size() * sizeof(wchar_t);
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replaceExisting;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::copy(to.begin(), to.end(), rename->FileName);
  return WaitingOutHolds([&] {
    return Result(IoStep::kRename, SetFileInformationByHandle(file, FileRenameInfo, rename,
                                                              static_cast<DWORD>(buffer.size())));
  });
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

// Readers go on reading; a program that writes the file is met here, before anything changes.
// The file is closed before anything is renamed over it, so it need not share deleting.
File File::OpenExclusive(const Directory& dir, const std::string& name) {
  File file = OpenToChange(dir, name);
  file.Hold(name);
  return file;
}

File File::OpenToChange(const Directory& dir, const std::string& name) {
  return File(OpenExisting(dir, name, GENERIC_READ, FILE_SHARE_READ));
}

void File::Hold(const std::string& name) {
  OVERLAPPED at = PassLockByte();
  if (!LockFileEx(Native(m_handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                  &at)) {
    ThrowLastError(FileOperation::kLock, name);
  }
}

void File::LetGo() noexcept {
  OVERLAPPED at = PassLockByte();
  UnlockFileEx(Native(m_handle), 0, 1, 0, &at);
}

File File::OpenForUpdate(const Directory& dir, const std::string& name) {
  return File(OpenExisting(dir, name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ));
}

File File::OpenForWriting(const Directory& dir, const std::string& name) {
  File file(OpenExisting(dir, name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ));
  file.Hold(name);
  return file;
}

// Only a file in a folder is opened here; the question is whether it is a device. (Asking for
// the file's type reads it under Wine, which would move its access time.)
bool File::IsRegular() const {
  FILE_BASIC_INFO status;
  if (!GetFileInformationByHandleEx(Native(m_handle), FileBasicInfo, &status, sizeof status)) {
    ThrowLastError(FileOperation::kStatus);
  }
  return (status.FileAttributes & (FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

std::uint64_t File::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Native(m_handle), &size)) ThrowLastError(FileOperation::kStatus);
  return static_cast<std::uint64_t>(size.QuadPart);
}

File::Stamp File::StampNow() const {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Native(m_handle), &info)) ThrowLastError(FileOperation::kStatus);
  const auto join = [](DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
  };
  return {
      {info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow)},
      join(info.nFileSizeHigh, info.nFileSizeLow),
      static_cast<std::int64_t>(
          join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)),
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
          (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0,
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_DIRECTORY)) == 0};
}

// The handle shares no deleting, so nothing can take the file's name while it is open.
File::Stamp File::StampByName(const Directory&, const std::string&) const {
  return StampNow();
}

std::uint64_t File::LinkCount() const {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Native(m_handle), &info)) ThrowLastError(FileOperation::kStatus);
  return info.nNumberOfLinks;
}

// Windows keeps no mode that a write could drop.
bool File::KeepsModeThroughWrite() const {
  return true;
}

std::uint32_t File::Mode() const {
  return 0;
}

void File::RestoreMode(std::uint32_t) {}

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
    const bool read = ReadFile(Native(m_handle), buffer.data() + total, wanted, &count, &position);
    if (!read && GetLastError() == ERROR_HANDLE_EOF) break;
    Check(IoStep::kRead, read, FileOperation::kRead);
    if (count == 0) break;
    total += count;
  }
  return total;
}

void File::SetModificationTimeToNow() {
  FILE_BASIC_INFO status;
  if (!GetFileInformationByHandleEx(Native(m_handle), FileBasicInfo, &status, sizeof status)) {
    ThrowLastError(FileOperation::kStatus);
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER nowTicks;
  nowTicks.LowPart = now.dwLowDateTime;
  nowTicks.HighPart = static_cast<LONG>(now.dwHighDateTime);
  const FILE_BASIC_INFO touched = TouchedStatus(status, nowTicks);
  Check(IoStep::kTime,
        SetFileInformationByHandle(Native(m_handle), FileBasicInfo,
                                   const_cast<FILE_BASIC_INFO*>(&touched), sizeof touched),
        FileOperation::kSetTime);
}

void File::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes,
                   const std::string& displayName) {
  while (!bytes.empty()) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kLargestRead));
    DWORD count = 0;
    Check(IoStep::kWrite, WriteFile(Native(m_handle), bytes.data(), wanted, &count, &position),
          FileOperation::kWrite, displayName);
    if (count == 0)
      throw FileError(SystemError(ERROR_DISK_FULL), FileOperation::kWrite, displayName);
    bytes = bytes.subspan(count);
    offset += count;
  }
}

void File::Truncate(std::uint64_t length) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
  Check(IoStep::kWrite,
        SetFileInformationByHandle(Native(m_handle), FileEndOfFileInfo, &end, sizeof end),
        FileOperation::kTruncate);
}

void File::Flush() {
  Check(IoStep::kFlush, FlushFileBuffers(Native(m_handle)), FileOperation::kFlush);
}

void RemoveAbandonedTemporaries(const Directory& dir, const std::vector<DirEntry>& entries) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t nowTicks =
      (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  for (const DirEntry& entry : entries) {
    const auto pid =
        static_cast<DWORD>(entry.kind == EntryKind::kFile ? TemporaryFilesProcess(entry.name) : 0);
    if (pid == 0) continue;
    const std::wstring path = PathIn(dir, entry.name);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
      continue;
    }
    const std::uint64_t written =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime;
    const bool processGone = pid != GetCurrentProcessId() && !ProcessExists(pid);
    if (processGone || nowTicks - written > kAbandonedAfterTicks) DeleteFileW(path.c_str());
  }
}

void RemoveFile(const Directory& dir, const std::string& name) {
  const std::wstring path = PathIn(dir, name);
  if (const std::error_code error =
          WaitingOutHolds([&] { return Result(IoStep::kRemove, DeleteFileW(path.c_str())); })) {
    throw FileError(error, FileOperation::kRemove, name);
  }
  FlushDirectory(dir);
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
    m_tempName = TemporaryName(m_finalName, GetCurrentProcessId());
    // Hidden until it is published, so that no one sees it half written, nor left behind.
    HANDLE handle = CreateFileW(PathIn(dir, m_tempName).c_str(),
                                GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    const std::error_code error = Result(IoStep::kCreate, handle != INVALID_HANDLE_VALUE);
    if (!error) {
      m_handle = reinterpret_cast<std::intptr_t>(handle);
    } else {
      if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        DeleteFileW(PathIn(dir, m_tempName).c_str());
      }
      if (error != SystemError(ERROR_FILE_EXISTS) || attempt == 100) {
        throw FileError(error, FileOperation::kCreate, m_tempName);
      }
    }
  }
}

NewFile::~NewFile() {
  if (m_handle != -1) CloseHandle(Native(m_handle));
  if (!m_published) DeleteFileW(PathIn(m_dir, m_tempName).c_str());
}

void NewFile::Write(std::span<const std::uint8_t> bytes) {
  DWORD count = 0;
  while (!bytes.empty()) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kLargestRead));
    Check(IoStep::kWrite, WriteFile(Native(m_handle), bytes.data(), wanted, &count, nullptr),
          FileOperation::kWrite, m_displayName);
    if (count == 0) {
      throw FileError(SystemError(ERROR_DISK_FULL), FileOperation::kWrite, m_displayName);
    }
    bytes = bytes.subspan(count);
  }
}

// The access list is copied as it stands, inherited entries and all, since the new file is
// in the same folder. Only a privileged process may give a file another owner than itself: a
// file of another owner is written in place instead. The attributes and the creation time are
// taken once the file has its final name.
bool NewFile::KeepPermissionsOf(const File& original) {
  HANDLE from = Native(original.NativeHandle());
  HANDLE file = Native(m_handle);
  if (KeepsAccessLists(from)) {
    std::vector<std::uint8_t> wanted =
        SecurityOf(from, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION);
    std::vector<std::uint8_t> own = SecurityOf(file, OWNER_SECURITY_INFORMATION);
    if (!EqualSid(OwnerIn(wanted), OwnerIn(own))) return false;
    const std::error_code error = Result(
        IoStep::kChown, SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, wanted.data()));
    // A share that will not let its files' access lists be set: the file keeps its own in place.
    if (error == SystemError(ERROR_ACCESS_DENIED) ||
        error == SystemError(ERROR_PRIVILEGE_NOT_HELD)) {
      return false;
    }
    if (error) throw FileError(error, FileOperation::kSetOwner, m_tempName);
  }
  const FILE_BASIC_INFO info = BasicInfo(from);
  m_attributes = info.FileAttributes & kKeptAttributes;
  m_creationTime = info.CreationTime.QuadPart;
  return true;
}

void NewFile::KeepHidden() {
  m_attributes |= FILE_ATTRIBUTE_HIDDEN;
}

void NewFile::Publish(bool replaceExisting) {
  HANDLE handle = Native(m_handle);
  Check(IoStep::kFlush, FlushFileBuffers(handle), FileOperation::kFlush, m_tempName);
  if (const std::error_code error = Rename(handle, PathIn(m_dir, m_finalName), replaceExisting)) {
    throw FileError(error, FileOperation::kRename, m_finalName);
  }
  m_published = true;
  FILE_BASIC_INFO shown{};  // times of zero are left as they are
  shown.CreationTime.QuadPart = m_creationTime;
  shown.FileAttributes = m_attributes != 0 ? m_attributes : FILE_ATTRIBUTE_NORMAL;
  SetBasicInfo(handle, shown);
  m_handle = -1;
  if (!CloseHandle(handle)) ThrowLastError(FileOperation::kClose, m_finalName);
  FlushDirectory(m_dir);
}

}  // namespace platform
