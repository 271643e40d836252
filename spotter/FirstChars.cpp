#include "spotter/FirstChars.h"

#include <cwctype>
#include <memory>

#include "search/Pattern.h"

namespace {

std::unique_ptr<wchar_t[]> BuildFoldTable() {
  auto table = std::make_unique<wchar_t[]>(0x10000);
  for (std::uint32_t c = 0; c < 0x10000; ++c) table[c] = RegexTraits::Fold(static_cast<wchar_t>(c));
  return table;
}

bool IsWordChar(wchar_t c) { return c < 0x80 && (std::iswalnum(static_cast<wint_t>(c)) || c == L'_'); }

// A recursive-descent reader of the small language Migemo writes. Each function returns
// false for anything outside it. `out` collects first characters; null skips.
class Reader {
 public:
  explicit Reader(std::wstring_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  bool Whole(std::vector<wchar_t>& out) { return Alternation(&out) && p_ == end_; }

 private:
  bool AtEnd() const { return p_ == end_; }

  bool Alternation(std::vector<wchar_t>* out) {
    for (;;) {
      if (!Sequence(out)) return false;
      if (AtEnd() || *p_ != L'|') return true;
      ++p_;
    }
  }

  // A sequence must not be empty (an empty alternative matches the empty text, which
  // any name contains), and only its first atom gives first characters.
  bool Sequence(std::vector<wchar_t>* out) {
    if (AtEnd() || *p_ == L'|' || *p_ == L')') return false;
    if (!Atom(out)) return false;
    while (!AtEnd() && *p_ != L'|' && *p_ != L')') {
      if (!Atom(nullptr)) return false;
    }
    return true;
  }

  bool Atom(std::vector<wchar_t>* out) {
    const wchar_t c = *p_++;
    switch (c) {
      case L'(':
        if (!AtEnd() && *p_ == L'?') return false;  // (?:…), look-arounds, flags
        if (!Alternation(out)) return false;
        if (AtEnd() || *p_ != L')') return false;
        ++p_;
        return true;
      case L'[':
        return Class(out);
      case L'\\':
        if (AtEnd() || IsWordChar(*p_)) return false;  // \d, \w, \b, back-references
        return Char(*p_++, out);
      case L'.': case L'^': case L'$': case L'*': case L'+': case L'?': case L'{': case L'}': case L']':
        return false;
      default:
        return Char(c, out);
    }
  }

  // Single characters only: a negated class or a range is left to the engine.
  bool Class(std::vector<wchar_t>* out) {
    if (AtEnd() || *p_ == L'^' || *p_ == L']') return false;
    while (!AtEnd() && *p_ != L']') {
      wchar_t c = *p_++;
      if (c == L'[' ) return false;  // [:alpha:] and the like
      if (c == L'\\') {
        if (AtEnd() || IsWordChar(*p_)) return false;
        c = *p_++;
      } else if (c == L'-') {
        return false;
      }
      if (!Char(c, out)) return false;
    }
    if (AtEnd()) return false;
    ++p_;
    return true;
  }

  static bool Char(wchar_t c, std::vector<wchar_t>* out) {
    if (BeyondBasicPlane(c)) return false;
    if (out) out->push_back(c);
    return true;
  }

  const wchar_t* p_;
  const wchar_t* end_;
};

}  // namespace

wchar_t FoldedChar(wchar_t c) {
  static const std::unique_ptr<wchar_t[]> table = BuildFoldTable();
  return BeyondBasicPlane(c) ? c : table[static_cast<std::uint32_t>(c)];
}

FirstChars::FirstChars(std::wstring_view regex) {
  std::vector<wchar_t> chars;
  if (regex.empty() || !Reader(regex).Whole(chars)) return;
  bits_.assign(0x10000 / 64, 0);
  for (wchar_t c : chars) {
    const std::uint32_t folded = static_cast<std::uint32_t>(FoldedChar(c));
    bits_[folded >> 6] |= std::uint64_t{1} << (folded & 63);
  }
}
