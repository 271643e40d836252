// The folder of the running executable, where the program keeps Kanasift.ini and the
// input history files.
#pragma once

#include <string>
#include <string_view>

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The folder part of a module's full path without its trailing separator. With a backslash
// (Windows: either slash separates, a drive is kept) C:\Tools\app.exe gives C:\Tools,
// C:\app.exe gives C: and C:app.exe gives C:; with '/' /opt/ks/app gives /opt/ks and
// /app gives "" (so that folder + separator + name is /name). No folder at all gives "".
std::string DirectoryOfModulePath(std::string_view modulePath, char separator = kPathSeparator);

// The executable's folder as above; false, `directory` unchanged, when the system does
// not tell the executable's path.
bool getModuleDirectory(std::string& directory);

// getModuleDirectory + separator + `fileName` ("\Kanasift.ini" at the drive's root
// when the folder is unknown).
std::string ModuleFilePath(std::string_view fileName);
