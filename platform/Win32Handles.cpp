// Win32Handles.h is header-only; this unit keeps it compiled with the library.
#include "platform/Win32Handles.h"
