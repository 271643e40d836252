#include "app/StartWithWindows.h"

#include <windows.h>

#include <vector>

#include "platform/Win32Handles.h"

namespace start_with_windows {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr wchar_t kValueName[] = L"Kanasift";

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The text of a REG_SZ value; false when there is none.
bool ReadText(const wchar_t* key, const wchar_t* name, std::wstring& text) {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
      ERROR_SUCCESS) {
    return false;
  }
  // The value may grow between the two calls: try again with the size it has then.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LONG result = RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr,
                                     buffer.data(), &bytes);
    if (result == ERROR_SUCCESS) {
      text.assign(buffer.data());
      return true;
    }
    if (result != ERROR_MORE_DATA) return false;
  }
  return false;
}

// Task Manager marks an entry it switched off with an odd first byte.
bool SwitchedOffByTaskManager() {
  BYTE mark[64] = {};
  DWORD bytes = sizeof(mark);
  const LONG result = RegGetValueW(HKEY_CURRENT_USER, kApprovedKey, kValueName, RRF_RT_REG_BINARY,
                                   nullptr, mark, &bytes);
  return result == ERROR_SUCCESS && bytes > 0 && (mark[0] & 1) != 0;
}

// Removes a value; true when it is gone (or never was).
bool RemoveValue(const wchar_t* key, const wchar_t* name) {
  HKEY opened = nullptr;
  const LONG open = RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &opened);
  if (open == ERROR_FILE_NOT_FOUND) return true;
  if (open != ERROR_SUCCESS) return false;
  UniqueRegKey owned(opened);
  const LONG result = RegDeleteValueW(owned.Get(), name);
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace

std::wstring ProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring CommandFor(const std::wstring& path) { return L"\"" + path + L"\""; }

std::wstring ProgramOf(const std::wstring& command) {
  const std::wstring blanks = L" \t";
  const size_t first = command.find_first_not_of(blanks);
  if (first == std::wstring::npos) return {};
  if (command[first] == L'"') {
    const size_t close = command.find(L'"', first + 1);
    return command.substr(first + 1, close == std::wstring::npos ? std::wstring::npos : close - first - 1);
  }
  const size_t last = command.find_last_not_of(blanks);
  return command.substr(first, last - first + 1);
}

bool IsOn(const std::wstring& path) {
  std::wstring command;
  if (path.empty() || !ReadText(kRunKey, kValueName, command)) return false;
  return SamePath(ProgramOf(command), path) && !SwitchedOffByTaskManager();
}

bool Set(bool on, const std::wstring& path) {
  if (!on) {
    // Task Manager's mark goes with the entry it belongs to.
    const bool removed = RemoveValue(kRunKey, kValueName);
    if (removed) RemoveValue(kApprovedKey, kValueName);
    return removed;
  }
  if (path.empty()) return false;
  HKEY created = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  UniqueRegKey key(created);
  const std::wstring command = CommandFor(path);
  const DWORD bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
  if (RegSetValueExW(key.Get(), kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     bytes) != ERROR_SUCCESS) {
    return false;
  }
  // An entry switched off in Task Manager would still not start the program.
  return RemoveValue(kApprovedKey, kValueName);
}

}  // namespace start_with_windows
