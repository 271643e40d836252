// Named kernel objects shared by Kanasift and its hook library and by nobody else.
//
// Every object is made with an explicit security descriptor: owned by this process's
// user, open to that user alone, and labelled with this process's integrity level so
// that processes of a lower level can neither read nor write it. An object of the name
// that exists already is used only when its owner is this process's user and its label
// is this process's integrity level; anything else was made by another party (perhaps
// to steer Kanasift or the hooks through it) and is refused. A mapping must also be
// backed by the paging file, never by a file that could be slow or vanish.
//
// Windows only. Guest code too (the hook library links it): no exceptions, no
// allocation, nothing beyond ntdll and kernel32, which every process has loaded.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace ownobj {

// Creates the mapping (paging-file backed, read-write, `size` bytes) or opens the
// existing one when it is ours. Null when it exists and is not ours, or on failure.
HANDLE CreateOwnMapping(const char* name, std::uint32_t size, bool& created);
// The same for an event and a mutex.
HANDLE CreateOwnEvent(const char* name, bool manualReset, bool& created);
HANDLE CreateOwnMutex(const char* name, bool initialOwner, bool& created);

// Opens an existing object with `access`; null when it does not exist or is not ours
// (a mapping also when it is not backed by the paging file).
HANDLE OpenOwnEvent(const char* name, DWORD access);
HANDLE OpenOwnMapping(const char* name, DWORD access);

// The owner is this process's user and the label this process's integrity level (no
// label where the system has none). The handle needs READ_CONTROL.
bool IsOwnObject(HANDLE object);
// The section is backed by the paging file (not by a file, not an image); `size` is its
// size. The handle needs SECTION_QUERY.
bool IsPagefileSection(HANDLE section, std::uint64_t& size);

// "<base>.il<level>": objects of processes at different integrity levels never meet,
// so an elevated Kanasift never finds the one a process of the user's normal level made.
bool LevelQualifiedName(const char* base, char* out, std::size_t size);

}  // namespace ownobj
