// The matcher for Migemo's expressions against the engine, on expressions of every shape
// that language allows (nested groups, classes, alternatives sharing their beginnings,
// escaped operators, letters in both cases and widths): a name is a candidate, and
// its matched text is the same, with the matcher as with the engine alone, from the
// first character and (".*" in front) anywhere.
//
// Input: bytes that spell the expression (a small grammar over a small alphabet, so
// that names often match), then item names separated by 0xFF.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "search/ItemMatch.h"
#include "search/MigemoMatcher.h"

namespace {

const wchar_t kAlphabet[] = L"aAbBkKａＡかカｶ会.(|*?[]\\-^ 　";
constexpr std::size_t kLetters = sizeof(kAlphabet) / sizeof(kAlphabet[0]) - 1;

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool More() const { return at_ < size_; }
  std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  std::size_t at() const { return at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A letter, or an operator escaped as Migemo's output procedure escapes it.
std::wstring Letter(std::uint8_t b) {
  const wchar_t c = kAlphabet[b % kLetters];
  if (std::wstring(L".(|*?[]\\-^").find(c) != std::wstring::npos) return std::wstring(L"\\") + c;
  return std::wstring(1, c);
}

std::wstring Alternatives(Bytes& bytes, int depth);

std::wstring Sequence(Bytes& bytes, int depth) {
  std::wstring out;
  const int atoms = 1 + bytes.Next() % 4;
  for (int i = 0; i < atoms; ++i) {
    const std::uint8_t kind = bytes.Next();
    if (kind % 7 == 0 && depth < 4) {
      out += L"(" + Alternatives(bytes, depth + 1) + L")";
    } else if (kind % 7 == 1) {
      out += L"[";
      const int members = 1 + bytes.Next() % 3;
      for (int k = 0; k < members; ++k) out += Letter(bytes.Next());
      out += L"]";
    } else {
      out += Letter(kind >> 3);
    }
  }
  return out;
}

std::wstring Alternatives(Bytes& bytes, int depth) {
  std::wstring out = Sequence(bytes, depth);
  while (bytes.More() && bytes.Next() % 3 == 0) out += L"|" + Sequence(bytes, depth);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool anywhere = data[0] & 1;
  Bytes bytes(data + 1, size - 1);
  const std::wstring group = L"(" + Alternatives(bytes, 0) + L")";
  const std::wstring source = (anywhere ? L".*" : L"") + group;

  SearchPattern engine;
  SearchPattern fast;
  try {
    engine.Replace(Pattern(source, boost::regex_constants::perl | boost::regex_constants::icase));
    fast.Replace(Pattern(source, boost::regex_constants::perl | boost::regex_constants::icase),
                 std::make_shared<const MigemoMatcher>(group), anywhere);
  } catch (const std::exception&) {
    std::abort();  // the language is a part of the engine's
  }
  if (!fast.matcher()->known()) std::abort();

  std::wstring name;
  for (std::size_t i = 1 + bytes.at(); i <= size; ++i) {
    if (i == size || data[i] == 0xFF) {
      const std::string narrow = platform::WideToAnsi(name);
      std::string fastText = "-", engineText = "-";
      if (MatchRegex(narrow, fast, &fastText) != MatchRegex(narrow, engine, &engineText)) std::abort();
      if (fastText != engineText) std::abort();
      name.clear();
    } else {
      name += kAlphabet[data[i] % kLetters];
    }
  }
  return 0;
}
