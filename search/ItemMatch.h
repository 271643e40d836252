// Whether one item name is a candidate for the current input.
#pragma once

#include <string>
#include <string_view>

#include "search/Pattern.h"

// Literal matching below KanafyLength, with the meaning of Windows' StrStrIA(name, input)
// returning the name itself: the input occurs at the name's first byte, ASCII letters
// compared without regard to case, characters compared whole (a double-byte character
// is never split, and its trail byte is never case-folded). Every non-empty name
// begins with an empty input; an empty name has no candidate position.
bool StartsWithIgnoreCase(std::string_view name, std::string_view input);

// The name as a pattern sees it: half-width katakana folded to full width (through JIS),
// widened from the ANSI code page. Seven-bit text other than the escape byte comes
// through both unchanged (code page 932 maps it to itself), so it is only widened: most
// names of a folder are plain ASCII, and this is done for every name a step looks at.
std::wstring EngineText(std::string_view name);

// Regex mode: the name, with half-width katakana folded to full width, must match the
// pattern from its first character on. The text of the first capture group, narrowed,
// goes to matchedText (when given). A name whose search throws (Boost's complexity
// limit) is no candidate, and the pattern is marked as failed: it matches nothing
// until it is replaced.
bool MatchRegex(std::string_view name, SearchPattern& pattern, std::string* matchedText);

// One name for one search step.
inline bool MatchItemName(std::string_view name, bool useRegex, std::string_view inputText,
                          SearchPattern& pattern, std::string* matchedText) {
  return useRegex ? MatchRegex(name, pattern, matchedText) : StartsWithIgnoreCase(name, inputText);
}
