// The procedure through which Migemo writes each character of its answers, and the
// set of characters it escapes so that Boost.Regex reads them literally.
//
// Migemo hands the procedure no context, so the escape set is process-wide. It holds
// the default set at all times except while a ScopedEscapeChars lives; every Migemo
// query runs inside one, under the lock that it takes.
#pragma once

#include <mutex>
#include <string>

// Backslash, period, asterisk, circumflex, dollar, slash, brackets, tilde, parentheses,
// braces and plus. Neither "?" nor "|" is escaped.
inline constexpr char kDefaultEscapeChars[] = "\\.*^$/[]~(){}+";

// Writes one character of Migemo's answer to `out` (when not null) and returns its
// length: a code of 0x100 or more as its two bytes, a character of the escape set
// after a backslash, any other byte as itself.
int MigemoInt2Char(unsigned int code, unsigned char* out);

// The escape set in force.
const std::string& CurrentEscapeChars();

// Sets the escape set for one query (an empty set escapes nothing) and puts the
// default back when it ends. Holds the process-wide escape lock meanwhile, so
// concurrent queries never see each other's set.
class ScopedEscapeChars {
 public:
  explicit ScopedEscapeChars(const char* escapeChars);
  ~ScopedEscapeChars();
  ScopedEscapeChars(const ScopedEscapeChars&) = delete;
  ScopedEscapeChars& operator=(const ScopedEscapeChars&) = delete;

 private:
  std::unique_lock<std::mutex> lock_;
};
