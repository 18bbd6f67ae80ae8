#include "platform/directory.h"

#include <windows.h>

#include "platform/utf16_win32.h"

namespace platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Native(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// Opens a directory for listing and for its identity; with followLinks false, a junction or a
// symbolic link is opened as itself and refused.
HANDLE OpenDirectoryHandle(const std::wstring& path, bool followLinks, int* error) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE handle = CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll,
                              nullptr, OPEN_EXISTING, flags, nullptr);
  DWORD failure = handle == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  BY_HANDLE_FILE_INFORMATION info;
  if (handle != INVALID_HANDLE_VALUE) {
    if (!GetFileInformationByHandle(handle, &info)) {
      failure = GetLastError();
    } else if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      failure = ERROR_DIRECTORY;
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      failure = ERROR_CANT_ACCESS_FILE;
    }
    if (failure != 0) {
      CloseHandle(handle);
      handle = INVALID_HANDLE_VALUE;
    }
  }
  if (failure != 0 && error) *error = static_cast<int>(failure);
  return handle;
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
    : m_handle(other.m_handle), m_nativePath(std::move(other.m_nativePath)) {
  other.m_handle = kClosed;
}

Directory& Directory::operator=(Directory&& other) noexcept {
  if (this != &other) {
    Close();
    m_handle = other.m_handle;
    m_nativePath = std::move(other.m_nativePath);
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

Directory Directory::OpenFolder(const std::string& path, int* error) {
  const std::wstring full = FullPath(Widen(path));
  if (full.empty()) {
    if (error) *error = ERROR_PATH_NOT_FOUND;
    return {};
  }
  std::wstring native = LongPath(full);
  // A drive root keeps its backslash: "\\?\C:" would name the volume, not its root directory.
  if (native.size() > 7 && native.back() == L'\\') native.pop_back();
  HANDLE handle = OpenDirectoryHandle(native, true, error);
  if (handle == INVALID_HANDLE_VALUE) return {};
  return Directory(reinterpret_cast<std::intptr_t>(handle), std::move(native));
}

Directory Directory::OpenSubdirectory(const std::string& name, int* error) const {
  std::wstring path = ChildPath(m_nativePath, name);
  HANDLE handle = OpenDirectoryHandle(path, false, error);
  if (handle == INVALID_HANDLE_VALUE) return {};
  return Directory(reinterpret_cast<std::intptr_t>(handle), std::move(path));
}

int Directory::CreateSubdirectory(const std::string& name) const {
  return CreateDirectoryW(ChildPath(m_nativePath, name).c_str(), nullptr)
             ? 0
             : static_cast<int>(GetLastError());
}

bool Directory::List(std::vector<DirEntry>& entries) const {
  entries.clear();
  const std::wstring pattern = ChildPath(m_nativePath, "*");
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  // A drive root has no "." or "..": an empty one has no entry at all.
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = data.dwFileAttributes;
    entries.push_back({Narrow(name), KindOf(attributes), (attributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                       (attributes & FILE_ATTRIBUTE_SYSTEM) != 0});
  } while (FindNextFileW(find, &data));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(find);
  return complete;
}

FileIdentity Directory::Identity() const {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(Native(m_handle), &info)) return {};
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

int Directory::Flush() const {
  // Renames are made with write-through, which leaves nothing of the directory to flush.
  return 0;
}

std::string AbsoluteFolderPath(const std::string& path) {
  std::wstring full = FullPath(Widen(path));
  if (full.empty()) return path;
  if (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return Narrow(full);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + name;
  return folder + '\\' + name;
}

}  // namespace platform
