#include "settings/IniFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

namespace {

bool IsAtoiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atoi without its undefined behaviour on overflow: the result saturates.
std::int32_t ParseInt(const char* text) {
  while (IsAtoiSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  std::int64_t value = 0;
  const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT32_MIN) : INT32_MAX;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > limit) value = limit;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

// One colour channel: a two-character string as strtoul reads it in base 16, low byte.
std::uint32_t ParseChannel(const std::string& value, size_t offset) {
  char pair[3] = {value[offset], value[offset + 1], '\0'};
  return static_cast<std::uint32_t>(std::strtoul(pair, nullptr, 16)) & 0xFF;
}

}  // namespace

IniFile::IniFile(const char* path) {
  setPath(path);
  buffer_.assign(static_cast<size_t>(bufferSize_), '\0');
}

IniFile::~IniFile() = default;

void IniFile::setPath(const char* path) {
  if (path) {
    path_ = path;
  } else {
    path_.reset();
  }
}

const std::string& IniFile::path() const {
  static const std::string kNone;
  return path_ ? *path_ : kNone;
}

bool IniFile::readString(const char* section, const char* key, std::string& out) {
  if (!path_) return false;
  platform::ReadProfileString(section, key, kMissingKeySentinel, buffer_.data(), buffer_.size(),
                              path_->c_str());
  buffer_.back() = '\0';
  if (std::strcmp(buffer_.data(), kMissingKeySentinel) == 0) return false;
  out.assign(buffer_.data());
  return true;
}

bool IniFile::readInt(const char* section, const char* key, std::int32_t& out) {
  std::string text;
  if (!readString(section, key, text)) return false;
  out = ParseInt(text.c_str());
  return true;
}

bool IniFile::readColor(const char* section, const char* key, ColorRef& out) {
  std::string text;
  if (!readString(section, key, text) || text.size() < 6) return false;
  out = ParseChannel(text, 0) | ParseChannel(text, 2) << 8 | ParseChannel(text, 4) << 16;
  return true;
}

bool IniFile::writeString(const char* section, const char* key, const char* value) {
  if (!path_) return false;
  return platform::WriteProfileString(section, key, value, path_->c_str());
}

bool IniFile::writeInt(const char* section, const char* key, std::int32_t value) {
  std::snprintf(buffer_.data(), buffer_.size(), "%d", static_cast<int>(value));
  return writeString(section, key, buffer_.data());
}
