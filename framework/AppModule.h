// The application module: the instance handle that every resource is loaded from.
// Set once by WinMain before any window exists, cleared when the program ends.
#pragma once

#include <windows.h>

namespace app_module {

void Init(HINSTANCE instance);
void Term();
// The module passed to Init, or the executable's own module when Init was not called.
HINSTANCE Instance();

}  // namespace app_module
