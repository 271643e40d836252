// The entries of one folder, as Explorer shows them by default: no "." or "..", no
// hidden or system entries; folders first, then files, each in Explorer's name order.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct FolderEntry {
  std::wstring name;      // as stored
  std::string ansiName;   // in the ANSI code page, as a list view hands it to Kanasift
  bool isFolder = false;
};

// The full path of `folder` (the current directory when it is empty), without a
// trailing backslash unless it is a drive's root.
std::wstring FullFolderPath(const std::wstring& folder);

// False, with the system's error code, when the folder cannot be read.
bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries, DWORD& error);

// The path of an entry of `folder`.
std::wstring EntryPath(const std::wstring& folder, const FolderEntry& entry);
