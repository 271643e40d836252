// placeholder until the settings work lands
#include "platform/PortableProfile.h"
#include <cstring>
namespace portable_profile {
std::size_t ReadString(const char*, const char*, const char* fallback, char* buffer, std::size_t size, const char*) {
  if (!size) return 0; std::strncpy(buffer, fallback, size - 1); buffer[size - 1] = 0; return std::strlen(buffer);
}
bool WriteString(const char*, const char*, const char*, const char*) { return false; }
}
