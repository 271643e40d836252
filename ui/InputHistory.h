// The texts confirmed in an input dialog, most recent first. Entry 0 is the newest; a
// confirmation moves its text to the top and drops an older entry that differs from it
// only in letter case. The list may grow beyond the file's limit while the program runs;
// only the first `historyMax` entries are saved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The longest entry, in bytes of the ANSI code page (the dialog's edit field limit).
constexpr std::size_t kHistoryEntryMax = 255;

// Whether two ANSI texts are equal when letter case is ignored, as the combo box's exact
// search compares them: every letter with a lower-case form (ASCII, full-width Latin,
// Greek, Cyrillic, Roman numerals) folds to it; kana, widths and everything else must
// match exactly.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// At most `limit` bytes of `text`, never ending inside a double-byte character, and
// nothing from the first NUL byte on.
std::string CutToCharacterLimit(std::string_view text, std::size_t limit = kHistoryEntryMax);

class InputHistory {
 public:
  explicit InputHistory(std::int32_t historyMax) : historyMax_(historyMax) {}

  std::int32_t historyMax() const { return historyMax_; }
  const std::vector<std::string>& entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }

  // Puts `text` at the top after removing the entry that equals it ignoring case.
  // Returns the index that entry had before, or -1 when there was none.
  int Confirm(std::string_view text);

  // Reads the history file at `path` (a missing or unreadable file gives an empty list).
  void Load(const std::string& path);
  // Writes the first `historyMax` entries to `path`, replacing the old file only when the
  // new contents were written completely. False when nothing was replaced. A file that
  // was there but could not be read by Load (another program held it) is never written
  // over: the entries it holds were never seen, so they would be lost.
  bool Save(const std::string& path) const;

 private:
  std::int32_t historyMax_;
  std::vector<std::string> entries_;
  bool keepFile_ = false;  // Load found a file it could not read
};
