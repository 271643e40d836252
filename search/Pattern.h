// The compiled search pattern: a wide-character Boost.Regex whose case folding is the
// system's own (CharLowerBuffW on Windows), so that ＡＢ matches ａｂ and Greek or
// Cyrillic letters fold as they do elsewhere in Windows. Boost's own traits for
// wchar_t fold only ASCII under GCC, where w32_regex_traits does not exist.
#pragma once

#include <boost/regex.hpp>
#include <cstdint>
#include <memory>

#include "platform/Platform.h"

class RegexTraits : public boost::cpp_regex_traits<wchar_t> {
 public:
  using boost::cpp_regex_traits<wchar_t>::translate;

  static wchar_t Fold(wchar_t c) {
    if (c < 0x80) return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c;
    return platform::ToLowerWide(c);
  }
  wchar_t translate_nocase(wchar_t c) const { return Fold(c); }
  wchar_t translate(wchar_t c, bool icase) const { return icase ? Fold(c) : c; }
  wchar_t tolower(wchar_t c) const { return Fold(c); }
};

using Pattern = boost::basic_regex<wchar_t, RegexTraits>;

class MigemoMatcher;

// The pattern in force, with what matching has learnt about it. A pattern whose search
// threw once (Boost's complexity limit, e.g. for "(a*)*b") is not tried again: it matches
// nothing until it is replaced, so a large view does not pay that price for every name.
//
// A pattern built from Migemo's answer may come with a MigemoMatcher for the answer's
// group: it gives the engine's own results in a fraction of the time, and the engine
// matches whatever the matcher cannot.
class SearchPattern {
 public:
  // True while a compiled expression is held and has not failed.
  bool Usable() const { return !regex_.empty() && !failed_; }
  bool Empty() const { return regex_.empty(); }
  bool Failed() const { return failed_; }
  const Pattern& regex() const { return regex_; }

  // The matcher for the pattern's group (none: the engine matches), and whether the
  // group may begin anywhere in a name (the pattern is ".*(" M ")").
  const MigemoMatcher* matcher() const { return matcher_.get(); }
  bool anywhere() const { return anywhere_; }

  void Replace(Pattern&& regex) { Replace(std::move(regex), nullptr, false); }
  void Replace(Pattern&& regex, std::shared_ptr<const MigemoMatcher> matcher, bool anywhere) {
    regex_.swap(regex);
    matcher_ = std::move(matcher);
    anywhere_ = anywhere;
    failed_ = false;
  }
  void MarkFailed() { failed_ = true; }

  // Number of searches run with this object (for tests and benchmarks).
  std::uint64_t searches = 0;

 private:
  Pattern regex_;
  std::shared_ptr<const MigemoMatcher> matcher_;
  bool anywhere_ = false;
  bool failed_ = false;
};
