// A matcher for the expressions Migemo writes, faster than the general engine: plain
// characters, escaped operators, groups, alternatives and classes of single characters.
// Such an expression is a tree of alternatives; the matcher tries them in order, with
// backtracking, exactly as the engine does (the first alternative that leads to a match
// wins), compares characters folded as the engine folds them, and jumps straight to the
// alternatives that can begin with the character at hand.
//
// Anything else (a quantifier, a range, a dot, an anchor, an empty alternative, a user's
// "?" passing through unescaped) makes the expression unknown: then the general engine
// matches, with the same results, only slower.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "search/Pattern.h"

// The case folding of Kanasift's patterns (RegexTraits::Fold) for every UTF-16 unit, as
// a table made once: the system's folding is a call per character, and the engine folds
// every character it compares.
const wchar_t* FoldTable();

// Whether a character lies beyond UTF-16's basic plane (only where wchar_t has 32 bits).
template <typename Char>
constexpr bool BeyondBasicPlane(Char c) {
  if constexpr (sizeof(Char) > 2) {
    return static_cast<std::uint32_t>(c) > 0xFFFF;
  } else {
    return false;
  }
}

inline wchar_t FoldedChar(wchar_t c) {
  static const wchar_t* const table = FoldTable();
  return BeyondBasicPlane(c) ? c : table[static_cast<std::uint32_t>(c)];
}

// RegexTraits with the folding read from the table: the same matches, faster.
class TableFoldTraits : public RegexTraits {
 public:
  using RegexTraits::translate;
  wchar_t translate_nocase(wchar_t c) const { return FoldedChar(c); }
  wchar_t translate(wchar_t c, bool icase) const { return icase ? FoldedChar(c) : c; }
  wchar_t tolower(wchar_t c) const { return FoldedChar(c); }
};

using FastPattern = boost::basic_regex<wchar_t, TableFoldTraits>;

class MigemoMatcher {
 public:
  // From the text of a regular expression as compiled (perl syntax, letters without case).
  explicit MigemoMatcher(std::wstring_view regex);

  // The expression was understood.
  bool known() const { return !alternatives_.empty(); }
  // Whether a match may begin with `c` (always true when the expression is unknown).
  bool MayBeginWith(wchar_t c) const {
    if (alternatives_.empty()) return true;
    if (BeyondBasicPlane(c)) return false;
    const auto folded = static_cast<std::uint32_t>(fold_[static_cast<std::uint32_t>(c)]);
    return (first_[folded >> 6] >> (folded & 63)) & 1u;
  }
  // Whether a match begins at `at` (a known expression only); its end goes to `end`.
  // False also when a pathological expression runs out of steps: see gaveUp().
  bool MatchAt(const wchar_t* text, std::size_t length, std::size_t at, std::size_t& end) const;
  // The expression needed too many steps once: the caller should use the engine.
  bool gaveUp() const { return gaveUp_.load(std::memory_order_relaxed); }

 private:
  struct Atom {
    std::vector<wchar_t> chars;    // folded and sorted; empty for a group
    std::uint32_t group = 0;       // the alternatives of a group
  };
  struct Sequence {
    std::vector<Atom> atoms;
  };
  struct Alternatives {
    std::vector<std::uint32_t> sequences;
    // (folded first character, sequence) in the order of the alternatives.
    std::vector<std::pair<wchar_t, std::uint32_t>> byFirst;
  };
  // What to match after the current sequence ends: the rest of an enclosing one.
  struct Continuation {
    std::uint32_t sequence;
    std::size_t atom;
    const Continuation* next;
  };
  struct Search {
    const wchar_t* text;
    std::size_t length;
    std::size_t steps;
  };

  class Reader;
  void FirstOf(std::uint32_t alternatives, std::vector<wchar_t>& out) const;
  bool MatchAlternatives(Search& search, std::uint32_t alternatives, std::size_t at, const Continuation* next,
                         std::size_t& end) const;
  bool MatchSequence(Search& search, std::uint32_t sequence, std::size_t atom, std::size_t at,
                     const Continuation* next, std::size_t& end) const;

  std::vector<Alternatives> alternatives_;  // [0] is the whole expression
  std::vector<Sequence> sequences_;
  std::vector<std::uint64_t> first_;        // 65536 bits over folded UTF-16 units
  const wchar_t* fold_ = FoldTable();
  mutable std::atomic<bool> gaveUp_{false};
};
