// Kanasift's entry among the programs that start when the user signs in to Windows: the
// value "Kanasift" under HKCU\Software\Microsoft\Windows\CurrentVersion\Run, holding the
// program's full path in double quotes, without switches. The tray menu shows whether the
// entry starts this program and switches it on or off.
//
// Task Manager's Startup page switches an entry off without deleting it, by a mark under
// ...\Explorer\StartupApproved\Run: an entry so marked does not start the program, so it
// counts as off, and switching it on removes the mark.
#pragma once

#include <string>

namespace start_with_windows {

// The full path of the running program.
std::wstring ProgramPath();
// The value's data for the program at `path`: the path in double quotes.
std::wstring CommandFor(const std::wstring& path);
// The program a Run value starts: the quoted part, or the whole text when it is not
// quoted, without surrounding blanks.
std::wstring ProgramOf(const std::wstring& command);

// True when the entry exists, starts the program at `path` (letter case aside) and is
// not switched off by Task Manager.
bool IsOn(const std::wstring& path);
// Writes the entry for the program at `path` (and removes Task Manager's off mark), or
// removes the entry. False when the registry refused; the entry is then as it was.
bool Set(bool on, const std::wstring& path);

}  // namespace start_with_windows
