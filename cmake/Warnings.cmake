add_library(kanasift_warnings INTERFACE)
target_compile_options(kanasift_warnings INTERFACE -Wall -Wextra -Wno-unused-parameter)
if(WIN32)
  # Windows 7 and later; narrow (ANSI) Win32 interface, as the program works in the ANSI code page.
  target_compile_definitions(kanasift_warnings INTERFACE _WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
  # No mingw runtime DLLs beside the binaries.
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++" CACHE STRING "" FORCE)
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++" CACHE STRING "" FORCE)
endif()
