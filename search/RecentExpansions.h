// Migemo's recent answers, kept: a user types the same first letters again and again,
// and the shortest inputs are the dearest to expand (tens of milliseconds for one
// letter), so their long answers are the last to go. A Dictionary in front of the real one; an answer is the same for the same
// query as long as the dictionary file is, so the kept ones never go stale.
#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "search/Dictionary.h"

class RecentExpansions : public Dictionary {
 public:
  // At most `entries` answers of at most `bytes` in all are kept.
  explicit RecentExpansions(Dictionary& dictionary, std::size_t entries = 64, std::size_t bytes = 1 << 20)
      : dictionary_(dictionary), maxEntries_(entries), maxBytes_(bytes) {}

  // A kept answer, or the dictionary's (kept when it is one). A failure is never kept.
  std::optional<std::string> Query(const std::string& query, const char* escapeChars) override;

  std::size_t keptBytes() const;

  // Answers this long or longer (those of one- and two-letter inputs) are kept before
  // shorter ones when the number of entries is the bound.
  static constexpr std::size_t kDearAnswerBytes = 1024;

 private:
  struct Entry {
    std::string query;
    bool defaultEscapes;
    std::string escapes;
    std::string answer;
  };

  Dictionary& dictionary_;
  const std::size_t maxEntries_;
  const std::size_t maxBytes_;
  mutable std::mutex lock_;
  std::vector<Entry> entries_;  // the latest last
  std::size_t bytes_ = 0;
};
