// Helpers shared by the search tests: ANSI-code-page text from wide literals, a notifier
// and a dictionary that record what they were asked, and the test dictionary's path.
#pragma once

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "search/Dictionary.h"
#include "search/Pattern.h"
#include "search/SearchState.h"

// Text in the ANSI code page (code page 932), as Explorer reports names.
inline std::string Sjis(const wchar_t* text) { return platform::WideToAnsi(text); }

// UTF-8 of ANSI text, for readable failure messages.
inline std::string Utf8(const std::string& ansi) {
  std::string out;
  for (wchar_t w : platform::AnsiToWide(ansi)) {
    auto c = static_cast<unsigned long>(w);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

struct ShownMessage {
  ViewHandle owner;
  std::string text;
  std::string title;
  unsigned style;
};

class RecordingNotifier : public UserNotifier {
 public:
  void Beep() override { ++beeps; }
  void ShowMessage(ViewHandle owner, const std::string& text, const std::string& title,
                   unsigned style) override {
    messages.push_back({owner, text, title, style});
    if (whileShown) whileShown();
  }

  int beeps = 0;
  std::vector<ShownMessage> messages;
  std::function<void()> whileShown;  // runs as if inside the box's modal loop
};

// Answers every query with `answer` (nothing: no usable dictionary) and records it.
class ScriptedDictionary : public Dictionary {
 public:
  std::optional<std::string> Query(const std::string& query, const char* escapeChars) override {
    queries.push_back(query);
    return answer;
  }
  std::optional<std::string> answer = std::string("M");
  std::vector<std::string> queries;
};

inline SearchPattern CompiledPattern(const wchar_t* source) {
  SearchPattern pattern;
  pattern.Replace(Pattern(source, boost::regex_constants::perl | boost::regex_constants::icase));
  return pattern;
}

// The cp932 Migemo dictionary (KANASIFT_TEST_DICT in the environment overrides it).
inline std::string TestDictPath() {
  if (const char* env = std::getenv("KANASIFT_TEST_DICT")) return env;
  return KANASIFT_TEST_DICT;
}
