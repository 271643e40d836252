#include "search/ItemMatch.h"

#include <exception>

#include "platform/Platform.h"
#include "search/SjisJis.h"

namespace {

// Length of the character that begins at text[i], as CharNextA counts it: a lead byte
// followed by another byte is one double-byte character.
size_t CharLength(std::string_view text, size_t i) {
  if (platform::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) return 2;
  return 1;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

}  // namespace

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
  std::wstring wide = platform::AnsiToWide(JisToSjis(SjisToJis(name)));
  boost::match_results<std::wstring::const_iterator> match;
  ++pattern.searches;
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
