#include "tapline/ClassList.h"

#include <cstring>

namespace classlist {

void TabSeparatedToNulSeparated(char* buffer) {
  if (!buffer) return;
  std::size_t length = std::strlen(buffer);
  for (std::size_t i = 0; i < length; ++i) {
    if (buffer[i] == '\t') buffer[i] = '\0';
  }
  buffer[length + 1] = '\0';  // the list ends with an empty entry
}

namespace {
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

bool EqualNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    if (AsciiLower(*a) != AsciiLower(*b)) return false;
  }
  return *a == *b;
}
}  // namespace

bool Contains(const char* className, const char* list) {
  if (!className || !list) return false;
  for (const char* entry = list; *entry; entry += std::strlen(entry) + 1) {
    if (EqualNoCase(className, entry)) return true;
  }
  return false;
}

}  // namespace classlist
