// Which entries match one input, decided as Kanasift decides for the items of an
// Explorer view. Below KanafyLength bytes (in the ANSI code page) the input is matched
// literally as a prefix and nothing is asked; from there on its Migemo expansion (from
// the dictionary, in Spotter the running Kanasift) is compiled as Kanasift compiles it,
// and a name matches from its first character, or anywhere in partial mode (unless the
// input begins with "^"), with half-width katakana folded to full width and letters
// compared without case.
//
// An input that holds "\" or "/" is matched against the path below the root: its parts
// match the last folders of the path and the name, each part as above ("kaisya\hou":
// names beginning with hou in a folder beginning with kaisya; a leading separator ties
// the first part to the root; an empty part matches any folder or name).
//
// When no expansion can be had (Kanasift is not running, has no dictionary, does not
// answer), the input is matched literally instead, and state() says so.
//
// A built filter never changes: any number of threads may match with it at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/Dictionary.h"
#include "search/Pattern.h"
#include "search/SearchState.h"
#include "spotter/EntryIndex.h"
#include "search/MigemoMatcher.h"

class TaskTrayAppIniFile;

// The settings of Kanasift that decide matching (KanafyLength, IsUsePartialMatch), read
// from its settings file: Spotter lives beside Kanasift.exe and reads the same file.
SearchOptions SearchOptionsFrom(TaskTrayAppIniFile& file);

enum class FilterState {
  Everything,   // empty input: every entry matches
  Literal,      // every part shorter than KanafyLength: literal prefixes
  Expanded,     // the expansions were compiled
  Unexpanded,   // no usable dictionary: the long parts are matched literally instead
  NoExpansion,  // the dictionary gave an empty answer: nothing matches
  PatternError, // an expansion did not compile: nothing matches
};

// The matched part of a name, in UTF-16 units of the name as stored.
struct MatchSpan {
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

// Half-width katakana folded to full width (a following sound mark joined to its
// character), as Kanasift folds names through JIS, into `out`. `origin`, when given,
// receives for each unit of the result the index of the unit of `name` it came from.
void FoldHalfWidthKana(std::wstring_view name, std::wstring& out, std::vector<std::uint32_t>* origin);

class NameFilter {
 public:
  // `input` as typed. The dictionary is asked once per part long enough to expand.
  NameFilter(std::wstring_view input, const SearchOptions& options, Dictionary& dictionary);
  NameFilter(const NameFilter&) = delete;
  NameFilter& operator=(const NameFilter&) = delete;

  FilterState state() const { return state_; }
  const std::wstring& input() const { return input_; }
  // The compiler's report when state() is PatternError.
  const std::string& errorText() const { return errorText_; }
  bool pathMode() const { return !folderParts_.empty() || rootAnchored_; }

  // Whether a name matches (in path mode: the input's last part), and where.
  bool MatchesName(const wchar_t* name, std::size_t length, bool halfWidthKana, MatchSpan* span) const;
  bool MatchesName(std::wstring_view name, MatchSpan* span = nullptr) const;

  // Path mode: how many parts name folders, whether the first is tied to the root, and
  // which of them a folder's name matches (bit i for part i).
  std::size_t folderPartCount() const { return folderParts_.size(); }
  bool rootAnchored() const { return rootAnchored_; }
  std::uint32_t FolderPartMask(const wchar_t* name, std::size_t length, bool halfWidthKana) const;

 private:
  class Part {
   public:
    enum class Kind { Any, Literal, Regex, Nothing };
    // Builds the part from its text; tells the filter what happened.
    Part(std::wstring_view text, const SearchOptions& options, Dictionary& dictionary, NameFilter& filter);
    bool Matches(const wchar_t* text, std::size_t length, MatchSpan* span) const;
    Kind kind() const { return kind_; }

   private:
    bool MatchLiteral(const wchar_t* text, std::size_t length, MatchSpan* span) const;
    bool MatchRegex(const wchar_t* text, std::size_t length, MatchSpan* span) const;
    bool MatchWithEngine(const wchar_t* text, std::size_t length, MatchSpan* span) const;

    Kind kind_ = Kind::Any;
    bool anchored_ = true;   // the match must begin at the first character
    std::wstring literal_;
    FastPattern regex_;
    std::optional<MigemoMatcher> fast_;  // for Regex parts
    mutable std::atomic<bool> failed_{false};  // the engine gave up on this pattern once
  };

  bool MatchPart(const Part& part, const wchar_t* name, std::size_t length, bool halfWidthKana,
                 MatchSpan* span) const;

  std::wstring input_;
  FilterState state_ = FilterState::Everything;
  std::string errorText_;
  bool sawRegex_ = false;
  bool sawUnexpanded_ = false;
  bool sawNothing_ = false;
  bool rootAnchored_ = false;
  std::vector<std::unique_ptr<Part>> folderParts_;
  std::unique_ptr<Part> namePart_;
};

// A filter applied to the entries of one index: visibility, the name and, in path mode,
// the folders above it. Extend() brings the folder table up to the published folders;
// between Extend() calls, Matches() may run on several threads.
class EntryMatcher {
 public:
  EntryMatcher(const NameFilter& filter, const EntryIndex& index, ShowOptions show);
  void Extend();
  // Whether the entry is shown and matches.
  bool Matches(std::uint32_t entry) const {
    const Entry& record = index_.entry(entry);
    return IsShown(record.flags, show_) && MatchesEntry(record);
  }
  // Whether an entry of the index matches, shown or not.
  bool MatchesEntry(const Entry& entry) const;
  const EntryIndex& index() const { return index_; }
  ShowOptions show() const { return show_; }

 private:
  const NameFilter& filter_;
  const EntryIndex& index_;
  ShowOptions show_;
  // Path mode: bit i set when the folder's name and the names above it match parts 0..i.
  std::vector<std::uint32_t> chain_;
};
