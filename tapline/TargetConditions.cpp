#include "tapline/TargetConditions.h"

#include <cstring>

#include "tapline/ClassList.h"

namespace tapline {

namespace {

bool IsForbiddenControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c; }

std::size_t CharLength(const char* p, LeadBytePredicate isLeadByte) {
  return (isLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

// Walks NUL-terminated fields packed in a buffer, never past its end.
class FieldReader {
 public:
  FieldReader(const char* buffer, std::size_t capacity) : next_(buffer), end_(buffer + capacity) {}
  // The next field, or null when the buffer holds no complete field any more.
  const char* Next() {
    if (next_ >= end_) return nullptr;
    const void* nul = std::memchr(next_, '\0', static_cast<std::size_t>(end_ - next_));
    if (!nul) return nullptr;
    const char* field = next_;
    next_ = static_cast<const char*>(nul) + 1;
    return field;
  }

 private:
  const char* next_;
  const char* end_;
};

bool IsOnlyStars(const char* pattern) {
  if (!*pattern) return false;
  for (; *pattern; ++pattern) {
    if (*pattern != '*') return false;
  }
  return true;
}

}  // namespace

bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool ParseClassList(const char* text, char* out, std::size_t capacity) {
  if (!text || !out) return false;
  std::size_t length = std::strlen(text);
  if (length + 2 > capacity) return false;
  bool sawEmptyName = false;
  std::size_t nameLength = 0;
  for (std::size_t i = 0; i <= length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\t' || c == '\0') {
      if (nameLength == 0) {
        sawEmptyName = true;
      } else if (sawEmptyName) {
        return false;
      }
      nameLength = 0;
      continue;
    }
    if (IsForbiddenControl(c)) return false;
    ++nameLength;
  }
  std::memcpy(out, text, length + 1);
  classlist::TabSeparatedToNulSeparated(out);
  return true;
}

bool ParseTargetConditions(const char* text, char* out, std::size_t capacity, std::uint32_t& tripleCount) {
  if (!text || !out || capacity == 0) return false;
  std::size_t length = std::strlen(text);
  // A missing last tab still ends the last field.
  bool lastFieldOpen = length > 0 && text[length - 1] != '\t';
  std::size_t stored = length + (lastFieldOpen ? 1 : 0);
  if (stored + 1 > capacity) return false;
  std::size_t fields = 0;
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\t') {
      ++fields;
    } else if (IsForbiddenControl(c)) {
      return false;
    }
  }
  if (lastFieldOpen) ++fields;
  if (fields % 3 != 0) return false;
  for (std::size_t i = 0; i < length; ++i) out[i] = text[i] == '\t' ? '\0' : text[i];
  if (lastFieldOpen) out[length] = '\0';
  std::memset(out + stored, 0, capacity - stored);
  tripleCount = static_cast<std::uint32_t>(fields / 3);
  return true;
}

bool GlobMatch(const char* pattern, const char* text, LeadBytePredicate isLeadByte) {
  if (!pattern || !text) return false;
  const char* p = pattern;
  const char* t = text;
  const char* starPattern = nullptr;  // just after the last `*` seen
  const char* starText = nullptr;     // where that `*` began to match
  while (*t) {
    if (*p == '*') {
      starPattern = ++p;
      starText = t;
      continue;
    }
    std::size_t textChar = CharLength(t, isLeadByte);
    if (*p == '?') {
      ++p;
      t += textChar;
      continue;
    }
    if (*p) {
      std::size_t patternChar = CharLength(p, isLeadByte);
      bool same = patternChar == textChar &&
                  (patternChar == 2 ? (p[0] == t[0] && p[1] == t[1]) : AsciiLower(*p) == AsciiLower(*t));
      if (same) {
        p += patternChar;
        t += textChar;
        continue;
      }
    }
    if (!starPattern) return false;
    // Let the last `*` take one more character and try again from there.
    starText += CharLength(starText, isLeadByte);
    p = starPattern;
    t = starText;
  }
  while (*p == '*') ++p;
  return *p == '\0';
}

bool ConditionsNeedTitle(const char* conditions, std::size_t capacity, std::uint32_t tripleCount) {
  FieldReader reader(conditions, capacity);
  for (std::uint32_t i = 0; i < tripleCount; ++i) {
    const char* title = reader.Next();
    if (!title || !reader.Next() || !reader.Next()) return false;
    if (!IsOnlyStars(title)) return true;
  }
  return false;
}

bool MatchesTargetConditions(const char* conditions, std::size_t capacity, std::uint32_t tripleCount,
                             const TargetWindow& window, LeadBytePredicate isLeadByte) {
  FieldReader reader(conditions, capacity);
  for (std::uint32_t i = 0; i < tripleCount; ++i) {
    const char* title = reader.Next();
    const char* topClass = reader.Next();
    const char* viewClass = reader.Next();
    if (!title || !topClass || !viewClass) return false;
    bool titleMatches = IsOnlyStars(title) || (window.title && GlobMatch(title, window.title, isLeadByte));
    if (titleMatches && GlobMatch(topClass, window.topClass, isLeadByte) &&
        GlobMatch(viewClass, window.viewClass, isLeadByte)) {
      return true;
    }
  }
  return false;
}

}  // namespace tapline
