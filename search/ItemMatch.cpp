#include "search/ItemMatch.h"

#include <exception>

#include "platform/Platform.h"
#include "search/MigemoMatcher.h"
#include "search/SjisJis.h"

namespace {

// Length of the character that begins at text[i], as CharNextA counts it: a lead byte
// followed by another byte is one double-byte character.
size_t CharLength(std::string_view text, size_t i) {
  if (platform::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) return 2;
  return 1;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

// Characters that may end the engine's ".*" (line separators, and NUL for good measure):
// a name with one of them is left to the engine.
bool EndsAnyRun(wchar_t c) {
  return c == L'\n' || c == L'\r' || c == L'\f' || c == L'\0' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

enum class FastAnswer { Candidate, NoCandidate, AskEngine };

// The engine's answer from the matcher: the group must match at the first character, or
// (".*" in front) at the last position where it matches at all, the greedy ".*" taking as
// much as it can; the group's match there is the first one in the order of alternatives.
FastAnswer MatchFast(const MigemoMatcher& matcher, bool anywhere, const std::wstring& name, std::size_t& begin,
                     std::size_t& end) {
  if (matcher.gaveUp()) return FastAnswer::AskEngine;
  const std::size_t length = name.size();
  if (!anywhere) {
    begin = 0;
    if (length == 0 || !matcher.MayBeginWith(name[0])) return FastAnswer::NoCandidate;
    if (matcher.MatchAt(name.data(), length, 0, end)) return FastAnswer::Candidate;
    return matcher.gaveUp() ? FastAnswer::AskEngine : FastAnswer::NoCandidate;
  }
  for (wchar_t c : name) {
    if (EndsAnyRun(c)) return FastAnswer::AskEngine;
  }
  for (std::size_t at = length; at-- > 0;) {
    if (!matcher.MayBeginWith(name[at])) continue;
    if (matcher.MatchAt(name.data(), length, at, end)) {
      begin = at;
      return FastAnswer::Candidate;
    }
    if (matcher.gaveUp()) return FastAnswer::AskEngine;
  }
  return FastAnswer::NoCandidate;
}

}  // namespace

std::wstring EngineText(std::string_view name) {
  bool plain = true;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || byte == 0x1B) {
      plain = false;
      break;
    }
  }
  if (plain) return std::wstring(name.begin(), name.end());
  return platform::AnsiToWide(JisToSjis(SjisToJis(name)));
}

bool StartsWithIgnoreCase(std::string_view name, std::string_view input) {
  if (name.empty()) return false;
  size_t n = 0;
  size_t i = 0;
  while (i < input.size()) {
    if (n >= name.size()) return false;
    size_t inLength = CharLength(input, i);
    size_t nameLength = CharLength(name, n);
    if (inLength != nameLength) return false;
    if (inLength == 1) {
      if (AsciiLower(input[i]) != AsciiLower(name[n])) return false;
    } else if (input.substr(i, 2) != name.substr(n, 2)) {
      return false;
    }
    i += inLength;
    n += nameLength;
  }
  return true;
}

bool MatchRegex(std::string_view name, SearchPattern& pattern, std::string* matchedText) {
  if (!pattern.Usable()) return false;
  const std::wstring wide = EngineText(name);
  ++pattern.searches;
  if (const MigemoMatcher* matcher = pattern.matcher()) {
    std::size_t begin = 0;
    std::size_t end = 0;
    switch (MatchFast(*matcher, pattern.anywhere(), wide, begin, end)) {
      case FastAnswer::NoCandidate:
        return false;
      case FastAnswer::Candidate:
        if (matchedText) *matchedText = platform::WideToAnsi(wide.substr(begin, end - begin));
        return true;
      case FastAnswer::AskEngine:
        break;
    }
  }
  boost::match_results<std::wstring::const_iterator> match;
  try {
    // A match must begin at the first character. Boost reports the leftmost match, so
    // anchoring the search there finds the same match and rejects other names at once.
    if (!boost::regex_search(wide.cbegin(), wide.cend(), match, pattern.regex(),
                             boost::match_default | boost::match_continuous)) {
      return false;
    }
  } catch (const std::exception&) {
    pattern.MarkFailed();
    return false;
  }
  if (match[0].first != wide.cbegin()) return false;
  if (matchedText) {
    *matchedText = match.size() > 1 && match[1].matched ? platform::WideToAnsi(match[1].str()) : std::string();
  }
  return true;
}
