// Which windows the hook works in: the class lists of list views and tree views, and the
// target conditions that the top-level window must meet.
//
// Target conditions are text of tab-terminated fields (the last tab may be left out),
// read three at a time:
//
//   <top-level window title> TAB <top-level window class> TAB <focused view class> TAB ...
//
// Each field is a pattern: `*` stands for any run of characters (none included), `?` for
// exactly one character (a double-byte character counts as one), every other character
// for itself, ASCII letters without regard to case. A triple matches when all three of
// its fields match; the window is a target when any triple matches. So the default
// "*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t" takes the desktop and
// both kinds of Explorer windows, whatever their titles and views.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tapline {

using LeadBytePredicate = bool (*)(unsigned char);

// Shift_JIS (code page 932) lead bytes, for callers that are not on Windows.
bool IsCp932LeadByte(unsigned char c);

// Converts tab-separated class names into the NUL-separated form that
// classlist::Contains reads, in `out` of `capacity` bytes. False, leaving `out` alone,
// when the text is null, does not fit, holds a control character other than tab, or has
// an empty name followed by more names (those names would silently be lost). An empty
// text is a valid empty list.
bool ParseClassList(const char* text, char* out, std::size_t capacity);

// Stores the fields of target conditions NUL-terminated one after the other in `out`
// and their number of triples in `tripleCount`. False, leaving both alone, when the text
// is null, does not fit, holds a control character other than tab, or its field count is
// not a multiple of three. An empty text is valid: no window is a target.
bool ParseTargetConditions(const char* text, char* out, std::size_t capacity, std::uint32_t& tripleCount);

// `*` and `?` patterns as described above.
bool GlobMatch(const char* pattern, const char* text, LeadBytePredicate isLeadByte);

struct TargetWindow {
  const char* title;  // may be null when ConditionsNeedTitle said no
  const char* topClass;
  const char* viewClass;
};

// True when some title field is more than `*`, so the caller must read the title.
bool ConditionsNeedTitle(const char* conditions, std::size_t capacity, std::uint32_t tripleCount);

bool MatchesTargetConditions(const char* conditions, std::size_t capacity, std::uint32_t tripleCount,
                             const TargetWindow& window, LeadBytePredicate isLeadByte);

}  // namespace tapline
