// Facts about the process that owns a view: who it is and which record layout its
// controls read.
#pragma once

#include <windows.h>

enum class ProcessBits { Unknown, Bits32, Bits64 };

// The bitness of the process that owns `view`; Unknown when the window is gone or its
// process cannot be asked.
ProcessBits ViewProcessBits(HWND view);

// The bitness this program was built for.
constexpr ProcessBits OwnProcessBits() {
  return sizeof(void*) == 8 ? ProcessBits::Bits64 : ProcessBits::Bits32;
}
