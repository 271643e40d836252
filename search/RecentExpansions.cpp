#include "search/RecentExpansions.h"

#include <algorithm>

std::optional<std::string> RecentExpansions::Query(const std::string& query, const char* escapeChars) {
  const bool defaultEscapes = escapeChars == nullptr;
  const std::string escapes = defaultEscapes ? std::string() : std::string(escapeChars);
  auto same = [&](const Entry& entry) {
    return entry.query == query && entry.defaultEscapes == defaultEscapes && entry.escapes == escapes;
  };
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto kept = std::find_if(entries_.begin(), entries_.end(), same);
    if (kept != entries_.end()) {
      std::rotate(kept, kept + 1, entries_.end());
      return entries_.back().answer;
    }
  }
  // The dictionary's own lock guards the query; ours is not held across it.
  std::optional<std::string> answer = dictionary_.Query(query, escapeChars);
  if (!answer || answer->size() > maxBytes_) return answer;
  std::lock_guard<std::mutex> hold(lock_);
  if (std::find_if(entries_.begin(), entries_.end(), same) != entries_.end()) return answer;
  while (!entries_.empty() && (entries_.size() >= maxEntries_ || bytes_ + answer->size() > maxBytes_)) {
    auto leaving = entries_.begin();
    if (entries_.size() >= maxEntries_) {
      // A place is wanted: the oldest cheap answer (a word's) gives up its place before
      // the long ones of the shortest inputs, which cost tens of milliseconds to ask for.
      auto cheap = std::find_if(entries_.begin(), entries_.end(),
                                [](const Entry& entry) { return entry.answer.size() < kDearAnswerBytes; });
      if (cheap != entries_.end()) leaving = cheap;
    }
    bytes_ -= leaving->answer.size();
    entries_.erase(leaving);
  }
  if (maxEntries_ == 0) return answer;
  entries_.push_back({query, defaultEscapes, escapes, *answer});
  bytes_ += answer->size();
  return answer;
}

std::size_t RecentExpansions::keptBytes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return bytes_;
}
