#include "search/MigemoMatcher.h"

#include <algorithm>
#include <memory>

namespace {

// Deeper nesting than this is left to the engine.
constexpr int kMaxDepth = 100;
// One match attempt may take this many steps; beyond, the engine takes over.
constexpr std::size_t kMaxSteps = 100000;

std::unique_ptr<wchar_t[]> BuildFoldTable() {
  auto table = std::make_unique<wchar_t[]>(0x10000);
  for (std::uint32_t c = 0; c < 0x10000; ++c) table[c] = RegexTraits::Fold(static_cast<wchar_t>(c));
  return table;
}

bool IsWordChar(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'_';
}

}  // namespace

const wchar_t* FoldTable() {
  static const std::unique_ptr<wchar_t[]> table = BuildFoldTable();
  return table.get();
}

// A recursive-descent reader of the small language Migemo writes, building the tree.
// Every function returns false for anything outside the language.
class MigemoMatcher::Reader {
 public:
  Reader(MigemoMatcher& out, std::wstring_view text) : out_(out), p_(text.data()), end_(text.data() + text.size()) {}

  bool Whole() {
    std::uint32_t root = 0;
    return Alternation(root, 0) && p_ == end_;
  }

 private:
  bool AtEnd() const { return p_ == end_; }

  bool Alternation(std::uint32_t& made, int depth) {
    if (depth > kMaxDepth) return false;
    made = static_cast<std::uint32_t>(out_.alternatives_.size());
    out_.alternatives_.emplace_back();
    for (;;) {
      std::uint32_t sequence = 0;
      if (!Sequence(sequence, depth)) return false;
      out_.alternatives_[made].sequences.push_back(sequence);
      if (AtEnd() || *p_ != L'|') return true;
      ++p_;
    }
  }

  // A sequence must not be empty: an empty alternative matches the empty text.
  bool Sequence(std::uint32_t& made, int depth) {
    if (AtEnd() || *p_ == L'|' || *p_ == L')') return false;
    MigemoMatcher::Sequence sequence;
    while (!AtEnd() && *p_ != L'|' && *p_ != L')') {
      Atom atom;
      if (!ReadAtom(atom, depth)) return false;
      sequence.atoms.push_back(std::move(atom));
    }
    made = static_cast<std::uint32_t>(out_.sequences_.size());
    out_.sequences_.push_back(std::move(sequence));
    return true;
  }

  bool ReadAtom(Atom& atom, int depth) {
    const wchar_t c = *p_++;
    switch (c) {
      case L'(':
        if (!AtEnd() && *p_ == L'?') return false;  // (?:…), look-arounds, flags
        if (!Alternation(atom.group, depth + 1)) return false;
        if (AtEnd() || *p_ != L')') return false;
        ++p_;
        return true;
      case L'[':
        return Class(atom);
      case L'\\':
        if (AtEnd() || IsWordChar(*p_)) return false;  // \d, \w, \b, back-references
        return Char(*p_++, atom);
      case L'.': case L'^': case L'$': case L'*': case L'+': case L'?': case L'{': case L'}': case L']': case L')':
      case L'|':
        return false;
      default:
        return Char(c, atom);
    }
  }

  // Single characters only: a negated class, a range or a named class is left to the engine.
  bool Class(Atom& atom) {
    if (AtEnd() || *p_ == L'^' || *p_ == L']') return false;
    while (!AtEnd() && *p_ != L']') {
      wchar_t c = *p_++;
      if (c == L'[' || c == L'-') return false;
      if (c == L'\\') {
        if (AtEnd() || IsWordChar(*p_)) return false;
        c = *p_++;
      }
      if (!Char(c, atom)) return false;
    }
    if (AtEnd()) return false;
    ++p_;
    return true;
  }

  static bool Char(wchar_t c, Atom& atom) {
    if (BeyondBasicPlane(c)) return false;
    const wchar_t folded = FoldedChar(c);
    auto at = std::lower_bound(atom.chars.begin(), atom.chars.end(), folded);
    if (at == atom.chars.end() || *at != folded) atom.chars.insert(at, folded);
    return true;
  }

  MigemoMatcher& out_;
  const wchar_t* p_;
  const wchar_t* end_;
};

MigemoMatcher::MigemoMatcher(std::wstring_view regex) {
  if (regex.empty() || !Reader(*this, regex).Whole()) {
    alternatives_.clear();
    sequences_.clear();
    return;
  }
  // Each set of alternatives indexed by the characters its alternatives can begin with.
  for (Alternatives& set : alternatives_) {
    for (std::uint32_t sequence : set.sequences) {
      std::vector<wchar_t> first;
      const Atom& atom = sequences_[sequence].atoms.front();
      if (atom.chars.empty()) {
        FirstOf(atom.group, first);
      } else {
        first = atom.chars;
      }
      for (wchar_t c : first) set.byFirst.emplace_back(c, sequence);
    }
    // Stable: for one character the alternatives keep their order.
    std::stable_sort(set.byFirst.begin(), set.byFirst.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }
  std::vector<wchar_t> first;
  FirstOf(0, first);
  first_.assign(0x10000 / 64, 0);
  for (wchar_t c : first) {
    const auto folded = static_cast<std::uint32_t>(c);
    first_[folded >> 6] |= std::uint64_t{1} << (folded & 63);
  }
}

void MigemoMatcher::FirstOf(std::uint32_t alternatives, std::vector<wchar_t>& out) const {
  for (std::uint32_t sequence : alternatives_[alternatives].sequences) {
    const Atom& atom = sequences_[sequence].atoms.front();
    if (atom.chars.empty()) {
      FirstOf(atom.group, out);
    } else {
      out.insert(out.end(), atom.chars.begin(), atom.chars.end());
    }
  }
}

bool MigemoMatcher::MatchAt(const wchar_t* text, std::size_t length, std::size_t at, std::size_t& end) const {
  if (alternatives_.empty() || gaveUp()) return false;
  Search search{text, length, 0};
  const bool found = MatchAlternatives(search, 0, at, nullptr, end);
  if (search.steps > kMaxSteps) {
    gaveUp_.store(true, std::memory_order_relaxed);
    return false;
  }
  return found;
}

bool MigemoMatcher::MatchAlternatives(Search& search, std::uint32_t alternatives, std::size_t at,
                                      const Continuation* next, std::size_t& end) const {
  if (at >= search.length || ++search.steps > kMaxSteps) return false;
  const wchar_t c = FoldedChar(search.text[at]);
  const auto& byFirst = alternatives_[alternatives].byFirst;
  auto it = std::lower_bound(byFirst.begin(), byFirst.end(), c,
                             [](const std::pair<wchar_t, std::uint32_t>& entry, wchar_t key) { return entry.first < key; });
  for (; it != byFirst.end() && it->first == c; ++it) {
    if (MatchSequence(search, it->second, 0, at, next, end)) return true;
    if (search.steps > kMaxSteps) return false;
  }
  return false;
}

bool MigemoMatcher::MatchSequence(Search& search, std::uint32_t sequence, std::size_t atom, std::size_t at,
                                  const Continuation* next, std::size_t& end) const {
  const std::vector<Atom>& atoms = sequences_[sequence].atoms;
  for (; atom < atoms.size(); ++atom) {
    const Atom& current = atoms[atom];
    if (current.chars.empty()) {
      // A group: its alternatives, each followed by the rest of this sequence.
      const Continuation rest{sequence, atom + 1, next};
      return MatchAlternatives(search, current.group, at, &rest, end);
    }
    if (at >= search.length ||
        !std::binary_search(current.chars.begin(), current.chars.end(), FoldedChar(search.text[at]))) {
      return false;
    }
    ++at;
  }
  if (!next) {
    end = at;
    return true;
  }
  return MatchSequence(search, next->sequence, next->atom, at, next->next, end);
}
