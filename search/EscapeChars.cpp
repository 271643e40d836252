#include "search/EscapeChars.h"

namespace {

std::mutex& EscapeLock() {
  static std::mutex lock;
  return lock;
}

std::string& EscapeSet() {
  static std::string escapeChars = kDefaultEscapeChars;
  return escapeChars;
}

}  // namespace

int MigemoInt2Char(unsigned int code, unsigned char* out) {
  if (code >= 0x100) {
    if (out) {
      out[0] = static_cast<unsigned char>((code >> 8) & 0xFF);
      out[1] = static_cast<unsigned char>(code & 0xFF);
    }
    return 2;
  }
  char c = static_cast<char>(code);
  // find() over the string's length: the terminating NUL is never part of the set.
  if (EscapeSet().find(c) != std::string::npos) {
    if (out) {
      out[0] = '\\';
      out[1] = static_cast<unsigned char>(c);
    }
    return 2;
  }
  if (out) out[0] = static_cast<unsigned char>(c);
  return 1;
}

const std::string& CurrentEscapeChars() { return EscapeSet(); }

ScopedEscapeChars::ScopedEscapeChars(const char* escapeChars) : lock_(EscapeLock()) {
  EscapeSet() = escapeChars ? escapeChars : kDefaultEscapeChars;
}

ScopedEscapeChars::~ScopedEscapeChars() { EscapeSet() = kDefaultEscapeChars; }
