#include "spotter/FolderLister.h"

#include <shlwapi.h>

#include "platform/Win32Handles.h"

namespace {

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(Handle h) { FindClose(h); }
};
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;

// Paths near MAX_PATH and beyond go through the "\\?\" form, which has no such limit.
std::wstring LongForm(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.compare(0, 4, L"\\\\?\\") == 0) return path;
  if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

std::uint64_t Join(DWORD high, DWORD low) { return (std::uint64_t{high} << 32) | low; }

}  // namespace

bool Win32DirectoryReader::Read(const std::wstring& path, const std::function<bool(const Item&)>& each,
                                std::uint32_t& error) {
  std::wstring pattern = LongForm(path);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  UniqueFindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
  if (!find) {
    error = GetLastError();
    // An empty drive root has no entries at all; that is an empty folder, not a failure.
    return error == ERROR_FILE_NOT_FOUND;
  }
  do {
    const wchar_t* name = found.cFileName;
    if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
    const Item item{name, wcslen(name), found.dwFileAttributes, Join(found.nFileSizeHigh, found.nFileSizeLow),
                    Join(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime)};
    if (!each(item)) return true;
  } while (FindNextFileW(find.Get(), &found));
  return true;
}

bool Win32DirectoryReader::Identify(const std::wstring& path, FolderIdentity& identity) {
  UniqueKernelHandle file(CreateFileW(LongForm(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.Get(), &info)) return false;
  identity = FolderIdentity{info.dwVolumeSerialNumber, Join(info.nFileIndexHigh, info.nFileIndexLow)};
  return true;
}

int ExplorerNameCompare(const wchar_t* a, const wchar_t* b) { return StrCmpLogicalW(a, b); }

FolderLister::FolderLister(const std::wstring& root, std::function<void()> changed, std::function<void()> finished)
    : index_(std::make_shared<EntryIndex>(root)), walk_(*index_, reader_, changed) {
  thread_ = std::thread([this, changed = std::move(changed), finished = std::move(finished)] {
    rootReadable_.store(walk_.Run(cancel_), std::memory_order_release);
    if (!cancel_.load()) {
      index_->ComputeOrder(&ExplorerNameCompare);
      if (changed) changed();
    }
    if (finished) finished();
  });
}

FolderLister::~FolderLister() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}
