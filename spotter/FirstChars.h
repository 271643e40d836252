// A quick test that rejects most names before the regular-expression engine runs: the
// characters with which a match of Migemo's answer can begin. Migemo writes plain
// characters, escaped operators, groups, alternatives and classes of single characters;
// for such an expression the first characters are exact. Anything else (a quantifier,
// a range, a dot, an anchor, an empty alternative) makes the set unknown, and every
// position is left to the engine.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The case folding of the pattern's engine (RegexTraits::Fold), from a table.
wchar_t FoldedChar(wchar_t c);

// Whether a character lies beyond UTF-16's basic plane (only where wchar_t has 32 bits).
template <typename Char>
constexpr bool BeyondBasicPlane(Char c) {
  if constexpr (sizeof(Char) > 2) {
    return static_cast<std::uint32_t>(c) > 0xFFFF;
  } else {
    return false;
  }
}

class FirstChars {
 public:
  // From the text of a regular expression as compiled (perl syntax, letters without case).
  explicit FirstChars(std::wstring_view regex);

  // False when the set could not be told: then Contains() is always true.
  bool known() const { return !bits_.empty(); }
  // Whether a match may begin with `c`.
  bool Contains(wchar_t c) const {
    if (bits_.empty()) return true;
    if (BeyondBasicPlane(c)) return false;
    const std::uint32_t folded = static_cast<std::uint32_t>(FoldedChar(c));
    return (bits_[folded >> 6] >> (folded & 63)) & 1u;
  }

 private:
  std::vector<std::uint64_t> bits_;  // 65536 bits over folded UTF-16 units, or empty
};
