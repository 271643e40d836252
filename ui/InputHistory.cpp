#include "ui/InputHistory.h"

#include <algorithm>

#include "platform/Platform.h"
#include "ui/HistoryFile.h"

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const std::wstring wideA = platform::AnsiToWide(a);
  const std::wstring wideB = platform::AnsiToWide(b);
  if (wideA.size() != wideB.size()) return false;
  for (std::size_t i = 0; i < wideA.size(); ++i) {
    if (wideA[i] != wideB[i] &&
        platform::ToLowerWide(wideA[i]) != platform::ToLowerWide(wideB[i])) {
      return false;
    }
  }
  return true;
}

std::string CutToCharacterLimit(std::string_view text, std::size_t limit) {
  const std::string bounded(text.substr(0, text.find('\0')));
  const char* begin = bounded.c_str();
  const char* end = begin;
  while (*end != '\0') {
    const char* next = platform::CharNext(end);
    if (static_cast<std::size_t>(next - begin) > limit) break;
    end = next;
  }
  return std::string(begin, end);
}

int InputHistory::Confirm(std::string_view text) {
  int removed = -1;
  const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const std::string& entry) {
    return SameTextIgnoringCase(entry, text);
  });
  if (found != entries_.end()) {
    removed = static_cast<int>(found - entries_.begin());
    entries_.erase(found);
  }
  entries_.insert(entries_.begin(), std::string(text));
  return removed;
}

void InputHistory::Load(const std::string& path) {
  entries_ = ReadHistoryFile(path, historyMax_, &keepFile_);
}

bool InputHistory::Save(const std::string& path) const {
  if (keepFile_) return false;
  return WriteHistoryFile(path, entries_, historyMax_);
}
