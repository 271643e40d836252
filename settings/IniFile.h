// Typed access to the key=value entries of one INI file. A missing key and a key whose
// value is empty are told apart: every read passes a sentinel as the default, and a
// result equal to it means "missing", so the caller's variable keeps its own default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/AppSettings.h"

class IniFile {
 public:
  // Capacity of the read buffer, terminating NUL included: longer values are cut to
  // their first 1023 bytes.
  static constexpr int kBufferSize = 1024;
  // The default every read passes; a stored value spelled like this reads as missing.
  static constexpr const char* kMissingKeySentinel = "mokemokehogehoge";

  // `path` may be null: the object then has no file, every read reports a missing key
  // and every write fails (Windows would fall back to win.ini).
  explicit IniFile(const char* path = nullptr);
  virtual ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  void setPath(const char* path);
  bool hasPath() const { return path_.has_value(); }
  // The file's path, "" when there is none.
  const std::string& path() const;

  // True and `out` replaced by the value when the key is present (also when its value
  // is empty); false and `out` untouched when the file, section or key is missing.
  bool readString(const char* section, const char* key, std::string& out);
  // The value as atoi reads it: blanks skipped, optional sign, decimal digits; text
  // without digits gives 0 and still counts as present. Out-of-range numbers saturate.
  bool readInt(const char* section, const char* key, std::int32_t& out);
  // Six hexadecimal digits RRGGBB, read as three separate pairs, into a COLORREF
  // (0x00BBGGRR). False, `out` untouched, when missing or shorter than six characters.
  bool readColor(const char* section, const char* key, ColorRef& out);

  // True exactly when the file was written.
  bool writeString(const char* section, const char* key, const char* value);
  // The value in decimal ("%d").
  bool writeInt(const char* section, const char* key, std::int32_t value);

 private:
  int bufferSize_ = kBufferSize;
  std::vector<char> buffer_;
  std::optional<std::string> path_;
};
