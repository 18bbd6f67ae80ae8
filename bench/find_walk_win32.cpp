// The floor for a single-threaded walk on Windows: FindFirstFileExW and FindNextFileW on every
// directory, depth first, by full "\\?\" path, counting directories named BDMV (any case).
// Junctions and links are not followed.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

long g_found = 0;

void Walk(const std::wstring& path) {
  std::vector<std::wstring> subdirectories;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &data,
                                 FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const DWORD attributes = data.dwFileAttributes;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        data.cFileName[0] == L'.')
      continue;
    if (CompareStringOrdinal(data.cFileName, -1, L"BDMV", -1, TRUE) == CSTR_EQUAL) ++g_found;
    subdirectories.emplace_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  for (const std::wstring& name : subdirectories) Walk(path + L'\\' + name);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: find_walk FOLDER\n");
    return 64;
  }
  const DWORD needed = GetFullPathNameW(argv[1], 0, nullptr, nullptr);
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(argv[1], needed, full.data(), nullptr);
  if (needed == 0 || length >= needed) {
    std::fprintf(stderr, "find_walk: cannot resolve the folder (error %lu)\n", GetLastError());
    return 1;
  }
  full.resize(length);
  if (full.back() == L'\\') full.pop_back();
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    std::fprintf(stderr, "find_walk: not a folder (error %lu)\n", GetLastError());
    return 1;
  }
  Walk(L"\\\\?\\" + full);
  std::printf("%ld\n", g_found);
  return 0;
}
