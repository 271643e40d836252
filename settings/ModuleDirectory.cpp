#include "settings/ModuleDirectory.h"

#include "platform/Platform.h"

std::string DirectoryOfModulePath(std::string_view modulePath, char separator) {
  bool windowsStyle = separator == '\\';
  size_t driveLength = (windowsStyle && modulePath.size() >= 2 && modulePath[1] == ':') ? 2 : 0;
  size_t lastSeparator = windowsStyle ? modulePath.find_last_of("\\/") : modulePath.rfind('/');
  if (lastSeparator == std::string_view::npos || lastSeparator < driveLength) {
    return std::string(modulePath.substr(0, driveLength));
  }
  return std::string(modulePath.substr(0, lastSeparator));
}

bool getModuleDirectory(std::string& directory) {
  std::string path = platform::ExecutablePath();
  if (path.empty()) return false;
  directory = DirectoryOfModulePath(path);
  return true;
}

std::string ModuleFilePath(std::string_view fileName) {
  std::string path;
  getModuleDirectory(path);
  path += kPathSeparator;
  path += fileName;
  return path;
}
