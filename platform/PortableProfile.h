// A portable implementation of the Win32 private profile functions, used where
// GetPrivateProfileStringA / WritePrivateProfileStringA do not exist. It keeps every
// line it does not change byte for byte, so a hand-edited file survives a write.
#pragma once

#include <cstddef>

namespace portable_profile {

// As GetPrivateProfileStringA with a section and a key: copies the value, or `fallback`
// when the file, the section or the key does not exist, truncated to size - 1 bytes and
// a NUL (never cutting a double-byte character in two); returns the number of bytes
// copied (without the NUL). Section and key names are compared without regard to ASCII
// case.
std::size_t ReadString(const char* section, const char* key, const char* fallback, char* buffer,
                       std::size_t size, const char* path);

// As WritePrivateProfileStringA with a section, a key and a value: replaces the value of
// an existing key, or adds the key (and the section, and the file) as needed. A null
// value removes the key, a null key the whole section. The file is replaced only once
// the new contents are completely written; a read-only file, a missing folder, or a
// name or value that could not be read back as written (a line break, '=' in a key)
// make the write fail and leave the file as it was.
bool WriteString(const char* section, const char* key, const char* value, const char* path);

// True when a file is at `path` that can be neither read nor written here (locked by
// another program, no regular file, UTF-16 text, too large); false when it is usable or
// missing.
bool IsUnusable(const char* path);

}  // namespace portable_profile
