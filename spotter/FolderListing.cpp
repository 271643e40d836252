#include "spotter/FolderListing.h"

#include <shlwapi.h>

#include <algorithm>

#include "platform/Platform.h"
#include "platform/Win32Handles.h"

namespace {

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Handle h) { FindClose(h); }
};
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;

bool EndsWithSeparator(const std::wstring& path) {
  return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

}  // namespace

std::wstring FullFolderPath(const std::wstring& folder) {
  const wchar_t* input = folder.empty() ? L"." : folder.c_str();
  DWORD size = GetFullPathNameW(input, 0, nullptr, nullptr);
  if (size == 0) return folder;
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(input, size, full.data(), nullptr);
  if (length == 0 || length >= size) return folder;
  full.resize(length);
  // "C:\" keeps its backslash; "C:\Tools\" loses it.
  while (full.size() > 3 && EndsWithSeparator(full)) full.pop_back();
  return full;
}

bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries, DWORD& error) {
  entries.clear();
  error = ERROR_SUCCESS;
  std::wstring pattern = folder;
  if (!EndsWithSeparator(pattern)) pattern += L'\\';
  pattern += L'*';

  WIN32_FIND_DATAW found{};
  UniqueFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                         nullptr, 0));
  if (!find) {
    error = GetLastError();
    // An empty drive root has no entries at all; that is an empty folder, not a failure.
    return error == ERROR_FILE_NOT_FOUND;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
    FolderEntry entry;
    entry.name = name;
    entry.ansiName = platform::WideToAnsi(name);
    entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find.Get(), &found));
  DWORD last = GetLastError();
  if (last != ERROR_NO_MORE_FILES) {
    error = last;
    return false;
  }
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
    if (a.isFolder != b.isFolder) return a.isFolder;
    return StrCmpLogicalW(a.name.c_str(), b.name.c_str()) < 0;
  });
  return true;
}

std::wstring EntryPath(const std::wstring& folder, const FolderEntry& entry) {
  std::wstring path = folder;
  if (!EndsWithSeparator(path)) path += L'\\';
  return path + entry.name;
}
