// What pattern building and the query service need from the Migemo dictionary.
#pragma once

#include <optional>
#include <string>

class Dictionary {
 public:
  virtual ~Dictionary() = default;
  // Expands `query` with the dictionary, escaping the characters of `escapeChars` in the
  // words Migemo writes (nullptr: the default set). Opens the dictionary first
  // (blocking) when none is held. Nothing when no usable dictionary could be opened; an
  // empty text when Migemo gives no answer (as for an empty query). The whole query
  // runs under the dictionary's lock, and the answer is a copy: the dictionary may be
  // closed as soon as this returns.
  virtual std::optional<std::string> Query(const std::string& query, const char* escapeChars) = 0;
};
