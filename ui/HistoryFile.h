// The history files of the input dialogs: one entry per line in the ANSI code page, the
// most recent first, CR LF line ends, no byte-order mark. Reading also takes LF alone,
// and a last line without a line end. A longer line than an entry may hold (a hand-edited
// file) is cut to the limit at a character boundary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The entries held in `contents`: at most `historyMax` (none when it is 0 or below).
std::vector<std::string> ParseHistory(std::string_view contents, std::int32_t historyMax);

// The file contents for the first `historyMax` entries, each followed by CR LF. An entry
// holding a line break is cut there, so that every entry stays one line.
std::string FormatHistory(const std::vector<std::string>& entries, std::int32_t historyMax);

// The entries of the file at `path`; empty when it is missing or unreadable. Reads no
// further than the last entry it keeps. `unreadable`, when given, tells whether a file
// was there that could not be read (locked, a folder, a read error).
std::vector<std::string> ReadHistoryFile(const std::string& path, std::int32_t historyMax,
                                         bool* unreadable = nullptr);

// Writes the file beside the old one ("<path>.tmp") and replaces the old file only when
// that write succeeded, so a failure (read-only folder, locked file, full disk) leaves the
// old file as it was. A read-only old file (or one that is no regular file) is never
// replaced, also where the system would let a privileged user do it. False when the old
// file was not replaced.
bool WriteHistoryFile(const std::string& path, const std::vector<std::string>& entries,
                      std::int32_t historyMax);

// The folder part of a Windows path in the ANSI code page, without the trailing
// separator ("C:\Tools\Kanasift.exe" → "C:\Tools"); "" when there is none. Trail bytes
// that look like a backslash are not taken for separators.
std::string DirectoryOf(std::string_view path);

// `directory` + "\" + `fileName`.
std::string HistoryFilePath(std::string_view directory, std::string_view fileName);
