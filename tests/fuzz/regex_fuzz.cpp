// Pattern compilation and item matching on arbitrary text: a bad expression is reported
// and never thrown out, a search that hits Boost's limits costs one failure, and literal
// matching is consistent.
//
// Input: one byte (high bit: partial matching; the rest modulo 48: the pattern's length),
// the pattern text, then item names separated by newlines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "search/ItemMatch.h"
#include "search/PatternBuilder.h"

namespace {

class NoDictionary : public Dictionary {
 public:
  std::optional<std::string> Query(const std::string&, const char*) override { return std::nullopt; }
};

class CountingNotifier : public UserNotifier {
 public:
  void Beep() override {}
  void ShowMessage(ViewHandle, const std::string&, const std::string&, unsigned) override { ++shown; }
  int shown = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t patternLength = (data[0] & 0x7F) % 48;
  if (patternLength > size - 1) patternLength = size - 1;
  std::string text(reinterpret_cast<const char*>(data + 1), patternLength);
  text = text.substr(0, text.find('\0'));  // the dialog's text is a C string
  std::vector<std::string> names;
  std::string rest(reinterpret_cast<const char*>(data + 1 + patternLength), size - 1 - patternLength);
  for (std::size_t start = 0; start <= rest.size() && names.size() < 8;) {
    std::size_t end = rest.find('\n', start);
    if (end == std::string::npos) end = rest.size();
    std::string name = rest.substr(start, end - start).substr(0, 259);
    names.push_back(name.substr(0, name.find('\0')));
    start = end + 1;
  }

  NoDictionary dictionary;
  CountingNotifier notifier;
  PatternBuilder builder(dictionary, notifier);
  InputState state;
  SearchOptions options;
  options.isUsePartialMatch = (data[0] & 0x80) != 0;
  builder.SetRegexInput(text, state, options);
  bool compiled = !builder.pattern().Empty();
  if (compiled == (notifier.shown != 0)) std::abort();  // exactly one of the two

  for (const std::string& name : names) {
    std::string matched;
    std::uint64_t before = builder.pattern().searches;
    bool usable = builder.pattern().Usable();
    MatchItemName(name, true, state.inputText, builder.pattern(), &matched);
    if (builder.pattern().searches != before + (usable ? 1 : 0)) std::abort();
    if (!name.empty() && !StartsWithIgnoreCase(name, name)) std::abort();
  }
  return 0;
}
