// The few system services that the platform-free core needs. Two implementations:
// PlatformWin32.cpp (the Windows build) and PlatformPosix.cpp (native builds, where
// the "ANSI code page" is Shift_JIS as Windows code page 932 defines it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Text in the system ANSI code page <-> UTF-16. Invalid bytes never fail: they become
// whatever the system's converter makes of them.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// Character classes of the ANSI code page, as IsDBCSLeadByte, IsCharAlphaA and IsCharLowerA.
bool IsLeadByte(unsigned char c);
bool IsCharAlpha(unsigned char c);
bool IsCharLower(unsigned char c);

// One character forward, as CharNextA: a lead byte followed by a non-NUL byte is one
// character; never moves past the terminating NUL.
const char* CharNext(const char* p);

// Lower case of one UTF-16 unit, as CharLowerBuffW does it (used to fold case in patterns).
wchar_t ToLowerWide(wchar_t c);

// Milliseconds since an arbitrary start, 32-bit, wrapping (GetTickCount).
std::uint32_t TickCount();

// Private profile (INI) files, as GetPrivateProfileStringA / WritePrivateProfileStringA:
// the read copies `fallback` when the file, section or key is missing, truncates to
// size - 1 bytes plus NUL and returns the number of bytes copied; the write creates the
// file, section and key as needed and reports success.
std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              char* buffer, std::size_t size, const char* path);
bool WriteProfileString(const char* section, const char* key, const char* value, const char* path);

// Full path of the running executable ("" when unknown).
std::string ExecutablePath();

// Replaces `target` with `source` in one step where the system allows it.
bool ReplaceFile(const std::string& source, const std::string& target);

}  // namespace platform
