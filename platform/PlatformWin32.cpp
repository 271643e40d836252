// Windows implementation of the platform services: the system's own functions.
#include "platform/Platform.h"

#include <windows.h>

#include <vector>

// <windows.h> maps CharNext, IsCharAlpha, IsCharLower, WriteProfileString and ReplaceFile
// to their A forms; the platform functions keep their own names, as the platform-free
// code (which never sees <windows.h>) calls them.
#undef CharNext
#undef IsCharAlpha
#undef IsCharLower
#undef WriteProfileString
#undef ReplaceFile

namespace platform {

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }
bool IsCharAlpha(unsigned char c) { return IsCharAlphaA(static_cast<CHAR>(c)) != FALSE; }
bool IsCharLower(unsigned char c) { return IsCharLowerA(static_cast<CHAR>(c)) != FALSE; }

const char* CharNext(const char* p) { return CharNextA(p); }

wchar_t ToLowerWide(wchar_t c) {
  wchar_t buffer[1] = {c};
  CharLowerBuffW(buffer, 1);
  return buffer[0];
}

std::uint32_t TickCount() { return GetTickCount(); }

std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              char* buffer, std::size_t size, const char* path) {
  return GetPrivateProfileStringA(section, key, fallback, buffer, static_cast<DWORD>(size), path);
}

bool WriteProfileString(const char* section, const char* key, const char* value, const char* path) {
  // A read-only file stays as it is, also where the system would let a privileged user
  // write it (Wine run as root), as the portable implementation keeps it.
  DWORD attributes = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    return false;
  }
  return WritePrivateProfileStringA(section, key, value, path) == 1;
}

std::string ExecutablePath() {
  char buffer[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::string(buffer, n);
}

bool ReplaceFile(const std::string& source, const std::string& target) {
  return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace platform
