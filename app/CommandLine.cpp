#include "app/CommandLine.h"

#include <cstring>

#include "platform/Platform.h"

const char* FindSwitch(const char* haystack, const char* needle) {
  if (haystack == nullptr || needle == nullptr) return nullptr;
  const std::size_t length = std::strlen(needle);
  for (const char* p = haystack;; p = platform::CharNext(p)) {
    if (std::strncmp(p, needle, length) == 0) return p;
    if (*p == '\0') return nullptr;
  }
}

bool HasHideSwitch(const char* commandLine) { return FindSwitch(commandLine, "/hide") != nullptr; }

RemoteCommand RemoteCommandFromCommandLine(const char* commandLine) {
  if (FindSwitch(commandLine, "/toggle_is_use")) return kToggleUse;
  if (FindSwitch(commandLine, "/toggle_is_enable")) return kToggleEnable;
  if (FindSwitch(commandLine, "/toggle_is_force_enable")) return kToggleForceEnable;
  return kNoCommand;
}
