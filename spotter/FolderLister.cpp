#include "spotter/FolderLister.h"

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

void ExplorerSortKey(const wchar_t* name, std::string& key) {
  // Numbers by value where the system knows how (Windows 7 and later), else as text.
  for (DWORD flags : {DWORD{LCMAP_SORTKEY | NORM_IGNORECASE | SORT_DIGITSASNUMBERS}, DWORD{LCMAP_SORTKEY | NORM_IGNORECASE}}) {
    const int size = LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, name, -1, nullptr, 0, nullptr, nullptr, 0);
    if (size <= 0) continue;
    key.resize(static_cast<std::size_t>(size));
    // With LCMAP_SORTKEY the output is bytes, whatever the pointer's type.
    if (LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, name, -1, reinterpret_cast<LPWSTR>(key.data()), size, nullptr,
                      nullptr, 0) > 0) {
      return;
    }
  }
  // No key from the system: the name's own units.
  key.assign(reinterpret_cast<const char*>(name), wcslen(name) * sizeof(wchar_t));
}

FolderLister::FolderLister(const std::wstring& root, ShowOptions show, std::function<void()> changed,
                           std::function<void()> finished)
    : index_(std::make_shared<EntryIndex>(root)), walk_(*index_, reader_, changed, show) {
  thread_ = std::thread([this, changed = std::move(changed), finished = std::move(finished)] {
    // The window's thread comes first.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    rootReadable_.store(walk_.Run(cancel_), std::memory_order_release);
    index_->ComputeOrder(&ExplorerSortKey, &cancel_);
    if (changed) changed();
    if (finished) finished();
  });
}

FolderLister::~FolderLister() {
  cancel_ = true;
  if (thread_.joinable()) thread_.join();
}
