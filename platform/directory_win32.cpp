#include "platform/directory.h"

#include <windows.h>
#include <winternl.h>

#include "platform/fault_injection.h"
#include "platform/utf16_win32.h"

namespace platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Native(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Keeps an opened handle only where it is a directory, and not a junction or a symbolic link
// opened as itself; closes it otherwise. Returns the failing call's error, if any. The attributes
// alone are asked for: the full information also names the volume, which costs Wine several
// times the open itself.
HANDLE KeepPlainDirectory(HANDLE handle, DWORD& failure) {
  FILE_ATTRIBUTE_TAG_INFO info;
  if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) {
    failure = GetLastError();
  } else if (!(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    failure = ERROR_DIRECTORY;
  } else if (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    failure = ERROR_CANT_ACCESS_FILE;
  }
  if (failure == 0) return handle;
  CloseHandle(handle);
  return INVALID_HANDLE_VALUE;
}

// Opens a directory for listing and for its identity; with followLinks false, a junction or a
// symbolic link is opened as itself and refused.
HANDLE OpenDirectoryHandle(const std::wstring& path, bool followLinks, DWORD& failure) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll,
                              nullptr, OPEN_EXISTING, flags, nullptr);
  failure = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  return handle == INVALID_HANDLE_VALUE ? handle : KeepPlainDirectory(handle, failure);
}

// Opens one name inside an open directory, relative to its handle: the system looks up that name
// alone, not every name of a full path, which keeps a deep walk's opens cheap. A junction or a
// symbolic link is opened as itself and refused.
HANDLE OpenChildHandle(HANDLE parent, const std::wstring& name, DWORD& failure) {
  UNICODE_STRING objectName;
  objectName.Buffer = const_cast<PWSTR>(name.c_str());
  objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  objectName.MaximumLength = objectName.Length;
  // Case-insensitive, as CreateFileW opens names.
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, parent, nullptr);
  IO_STATUS_BLOCK io;
  HANDLE handle = INVALID_HANDLE_VALUE;
  const NTSTATUS status = NtCreateFile(
      &handle, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io, nullptr,
      0, kShareAll, FILE_OPEN,
      FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  if (!NT_SUCCESS(status)) {
    failure = RtlNtStatusToDosError(status);
    return INVALID_HANDLE_VALUE;
  }
  failure = 0;
  return KeepPlainDirectory(handle, failure);
}

EntryKind KindOf(DWORD attributes) {
  // Junctions, symbolic links and every other reparse point count as links: never followed.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::kLink;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kDirectory;
  return EntryKind::kFile;
}

// "\\?\" paths are taken literally by the system, so "." and ".." are resolved here.
std::wstring ChildPath(const std::wstring& path, const std::string& name) {
  if (name == ".") return path;
  if (name == "..") {
    if (path.back() == L'\\') return path;  // a drive root is its own parent
    std::wstring parent = path.substr(0, path.find_last_of(L'\\'));
    if (parent.back() == L':') parent += L'\\';
    return parent;
  }
  return path.back() == L'\\' ? path + Widen(name) : path + L'\\' + Widen(name);
}

}  // namespace

Directory::Directory(Directory&& other) noexcept
    : m_handle(other.m_handle),
      m_nativePath(std::move(other.m_nativePath)),
      m_openError(std::move(other.m_openError)) {
  other.m_handle = kClosed;
}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = other.m_handle;
    m_nativePath = std::move(other.m_nativePath);
    m_openError = std::move(other.m_openError);
    other.m_handle = kClosed;
  }
  return *this;
}

Directory::~Directory() {
  Close();
}

void Directory::Close() {
  if (IsOpen()) CloseHandle(Native(m_handle));
  m_handle = kClosed;
  m_nativePath.clear();
}

Directory Directory::OpenFolder(const std::string& path) {
  const std::wstring full = FullPath(Widen(path));
  if (full.empty()) {
    return Unopened(FileError(SystemError(ERROR_PATH_NOT_FOUND), FileOperation::kOpen, path));
  }
  std::wstring native = LongPath(full);
  // A drive root keeps its backslash: "\\?\C:" would name the volume, not its root directory.
  if (native.size() > 7 && native.back() == L'\\') native.pop_back();
  DWORD failure = 0;
  HANDLE handle = OpenDirectoryHandle(native, true, failure);
  if (handle == INVALID_HANDLE_VALUE) {
    return Unopened(FileError(SystemError(static_cast<int>(failure)), FileOperation::kOpen, path));
  }
  return Directory(reinterpret_cast<std::intptr_t>(handle), std::move(native));
}

Directory Directory::OpenSubdirectory(const std::string& name) const {
  if (!IsOpen()) {
    return Unopened(FileError(SystemError(ERROR_INVALID_HANDLE), FileOperation::kOpen, name));
  }
  std::wstring path = ChildPath(m_nativePath, name);
  // "." and ".." name no entry of their own in a relative open; their full paths are resolved.
  const bool ownName = !name.empty() && name != "." && name != "..";
  DWORD failure = 0;
  HANDLE handle = ownName ? OpenChildHandle(Native(m_handle), Widen(name), failure)
                          : OpenDirectoryHandle(path, false, failure);
  if (handle == INVALID_HANDLE_VALUE) {
    return Unopened(FileError(SystemError(static_cast<int>(failure)), FileOperation::kOpen, name));
  }
  return Directory(reinterpret_cast<std::intptr_t>(handle), std::move(path));
}

// Each step is opened as itself, relative to the one before, so no junction or link on the way is
// followed and each costs one open.
Directory Directory::OpenBelow(const std::string& relativePath) const {
  Directory current;
  const Directory* from = this;
  for (std::size_t start = 0; from->IsOpen() && start < relativePath.size();) {
    std::size_t end = relativePath.find_first_of("/\\", start);
    if (end == std::string::npos) end = relativePath.size();
    current = from->OpenSubdirectory(relativePath.substr(start, end - start));
    from = &current;
    start = end + 1;
  }
  return from == this ? OpenSubdirectory(".") : std::move(current);
}

Directory Directory::Duplicate() const {
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), Native(m_handle), GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return Unopened(FileError(LastSystemError(), FileOperation::kOpen));
  }
  return Directory(reinterpret_cast<std::intptr_t>(copy), m_nativePath);
}

std::optional<FileError> Directory::CreateSubdirectory(const std::string& name) const {
  if (CreateDirectoryW(ChildPath(m_nativePath, name).c_str(), nullptr)) return std::nullopt;
  return FileError(LastSystemError(), FileOperation::kMakeDirectory, name);
}

std::optional<FileError> Directory::List(std::vector<DirEntry>& entries,
                                         bool directoriesOnly) const {
  entries.clear();
  if (!IsOpen()) return NotOpenError();
  const std::wstring pattern = ChildPath(m_nativePath, "*");
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD failure = GetLastError();
    // A drive root has no "." or "..": an empty one has no entry at all.
    if (failure == ERROR_FILE_NOT_FOUND) return std::nullopt;
    return FileError(SystemError(static_cast<int>(failure)), FileOperation::kList);
  }
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = data.dwFileAttributes;
    if (directoriesOnly && KindOf(attributes) != EntryKind::kDirectory) continue;
    entries.push_back({Narrow(name), KindOf(attributes), (attributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                       (attributes & FILE_ATTRIBUTE_SYSTEM) != 0});
  } while (FindNextFileW(find, &data));
  const DWORD stop = GetLastError();
  FindClose(find);
  if (stop != ERROR_NO_MORE_FILES)
    return FileError(SystemError(static_cast<int>(stop)), FileOperation::kList);
  return InjectedListingFault(*this);
}

FileIdentity Directory::Identity(std::optional<FileError>& error) const {
  error.reset();
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Native(m_handle), &info)) {
    error.emplace(LastSystemError(), FileOperation::kStatus);
    return {};
  }
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

std::optional<FileError> Directory::Flush() const {
  // Renames are made with write-through, which leaves nothing of the directory to flush.
  return std::nullopt;
}

std::string AbsoluteFolderPath(const std::string& path) {
  std::wstring full = FullPath(Widen(path));
  if (full.empty()) return path;
  if (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return Narrow(full);
}

EntryKind EntryKindOf(const Directory& dir, const std::string& name) {
  const DWORD attributes = GetFileAttributesW(ChildPath(dir.NativePath(), name).c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? EntryKind::kOther : KindOf(attributes);
}

std::pair<std::string, std::string> SplitLastName(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return {{}, path};
  // A drive's root keeps its backslash: "C:" alone names the drive's current directory.
  const bool root = separator == 0 || path[separator - 1] == ':';
  return {path.substr(0, root ? separator + 1 : separator), path.substr(separator + 1)};
}

void AppendToPath(std::string& folder, std::string_view name) {
  if (folder.empty() || (folder.back() != '/' && folder.back() != '\\')) folder += '\\';
  folder += name;
}

}  // namespace platform
