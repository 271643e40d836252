#include "spotter/NameFilter.h"

#include <array>
#include <exception>

#include "platform/Platform.h"
#include "search/SjisJis.h"
#include "settings/TaskTrayAppIniFile.h"

namespace {

// More folder parts than this match nothing (a mask bit per part).
constexpr std::size_t kMaxFolderParts = 32;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c; }

// Full-width forms of the half-width katakana U+FF61-U+FF9F: alone, with the voiced and
// with the semi-voiced sound mark (0 where the pair does not join).
struct KanaTable {
  std::array<wchar_t, 63> alone{};
  std::array<wchar_t, 63> voiced{};
  std::array<wchar_t, 63> semiVoiced{};
};

wchar_t JisToWide(std::uint16_t code) {
  std::string jis = "\x1B$B";
  jis += static_cast<char>(code >> 8);
  jis += static_cast<char>(code & 0xFF);
  jis += "\x1B(B";
  const std::wstring wide = platform::AnsiToWide(JisToSjis(jis));
  return wide.size() == 1 ? wide[0] : 0;
}

const KanaTable& Kana() {
  static const KanaTable table = [] {
    KanaTable t;
    for (int i = 0; i < 63; ++i) {
      const auto sjis = static_cast<unsigned char>(0xA1 + i);
      t.alone[i] = JisToWide(HalfWidthKanaToJis(sjis, 0).code);
      HalfWidthKana voiced = HalfWidthKanaToJis(sjis, 0xDE);
      if (voiced.consumed == 2) t.voiced[i] = JisToWide(voiced.code);
      HalfWidthKana semi = HalfWidthKanaToJis(sjis, 0xDF);
      if (semi.consumed == 2) t.semiVoiced[i] = JisToWide(semi.code);
    }
    return t;
  }();
  return table;
}

// The parts of an input split at its separators.
std::vector<std::wstring_view> SplitParts(std::wstring_view input) {
  std::vector<std::wstring_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= input.size(); ++i) {
    if (i == input.size() || IsSeparator(input[i])) {
      parts.push_back(input.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace

SearchOptions SearchOptionsFrom(TaskTrayAppIniFile& file) {
  SearchOptions options;
  options.kanafyLength = file.getKanafyLength();
  options.isUsePartialMatch = file.getIsUsePartialMatch();
  return options;
}

void FoldHalfWidthKana(std::wstring_view name, std::wstring& out, std::vector<std::uint32_t>* origin) {
  const KanaTable& kana = Kana();
  out.clear();
  if (origin) origin->clear();
  for (std::size_t i = 0; i < name.size(); ++i) {
    const wchar_t c = name[i];
    wchar_t folded = c;
    std::size_t used = 1;
    if (c >= 0xFF61 && c <= 0xFF9F) {
      const std::size_t k = static_cast<std::size_t>(c - 0xFF61);
      const wchar_t next = i + 1 < name.size() ? name[i + 1] : 0;
      if (next == 0xFF9E && kana.voiced[k]) {
        folded = kana.voiced[k];
        used = 2;
      } else if (next == 0xFF9F && kana.semiVoiced[k]) {
        folded = kana.semiVoiced[k];
        used = 2;
      } else if (kana.alone[k]) {
        folded = kana.alone[k];
      }
    }
    out += folded;
    if (origin) origin->push_back(static_cast<std::uint32_t>(i));
    i += used - 1;
  }
  if (origin) origin->push_back(static_cast<std::uint32_t>(name.size()));  // the end
}

// --- Parts ------------------------------------------------------------------------------

NameFilter::Part::Part(std::wstring_view text, const SearchOptions& options, Dictionary& dictionary,
                       NameFilter& filter) {
  if (text.empty()) return;  // Any
  const std::string ansi = platform::WideToAnsi(text);
  // Kanasift compares the length as an unsigned number here (a negative KanafyLength
  // matches every input literally).
  if (ansi.size() < static_cast<std::uint32_t>(options.kanafyLength)) {
    kind_ = Kind::Literal;
    literal_ = text;
    return;
  }
  const bool caret = ansi[0] == '^';
  anchored_ = !options.isUsePartialMatch || caret;
  const std::string query = options.isUsePartialMatch && caret ? ansi.substr(1) : ansi;
  std::optional<std::string> answer = dictionary.Query(query, nullptr);
  if (!answer) {
    // No expansion to be had: the text itself, a leading "^" read as "from the start".
    filter.sawUnexpanded_ = true;
    literal_ = caret ? text.substr(1) : text;
    kind_ = literal_.empty() ? Kind::Any : Kind::Literal;
    return;
  }
  if (answer->empty()) {  // Migemo had no answer
    kind_ = Kind::Nothing;
    filter.sawNothing_ = true;
    return;
  }
  const std::string source = "(" + *answer + ")";
  const std::wstring wide = platform::AnsiToWide(source);
  try {
    regex_.assign(wide, boost::regex_constants::perl | boost::regex_constants::icase);
  } catch (const std::exception& e) {  // boost::regex_error, or out of memory
    kind_ = Kind::Nothing;
    if (filter.errorText_.empty()) {
      filter.errorText_ = "src=" + ansi + "\n mstr=" + source + "\n bad_expression=" + e.what();
    }
    return;
  }
  kind_ = Kind::Regex;
  filter.sawRegex_ = true;
  fast_.emplace(wide);
}

bool NameFilter::Part::Matches(const wchar_t* text, std::size_t length, MatchSpan* span) const {
  switch (kind_) {
    case Kind::Any:
      if (span) *span = MatchSpan{};
      return true;
    case Kind::Literal:
      return MatchLiteral(text, length, span);
    case Kind::Regex:
      return MatchRegex(text, length, span);
    case Kind::Nothing:
    default:
      return false;
  }
}

// As Kanasift's literal match: ASCII letters without case, every other unit as it is.
bool NameFilter::Part::MatchLiteral(const wchar_t* text, std::size_t length, MatchSpan* span) const {
  const std::size_t n = literal_.size();
  if (length == 0 || n > length) return false;
  const std::size_t last = anchored_ ? 0 : length - n;
  for (std::size_t at = 0; at <= last; ++at) {
    std::size_t i = 0;
    while (i < n && AsciiLower(text[at + i]) == AsciiLower(literal_[i])) ++i;
    if (i == n) {
      if (span) *span = MatchSpan{static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(n)};
      return true;
    }
  }
  return false;
}

bool NameFilter::Part::MatchRegex(const wchar_t* text, std::size_t length, MatchSpan* span) const {
  if (length == 0) return false;
  if (!fast_->known() || fast_->gaveUp()) return MatchWithEngine(text, length, span);
  // Where a match may begin: the first character only, or, in partial mode, the first
  // position from which one does.
  const std::size_t last = anchored_ ? 0 : length - 1;
  for (std::size_t at = 0; at <= last; ++at) {
    std::size_t end = 0;
    if (!fast_->MayBeginWith(text[at]) || !fast_->MatchAt(text, length, at, end)) continue;
    if (span) *span = MatchSpan{static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(end - at)};
    return true;
  }
  return fast_->gaveUp() ? MatchWithEngine(text, length, span) : false;
}

bool NameFilter::Part::MatchWithEngine(const wchar_t* text, std::size_t length, MatchSpan* span) const {
  if (failed_.load(std::memory_order_relaxed)) return false;
  if (anchored_ && !fast_->MayBeginWith(text[0])) return false;
  thread_local boost::match_results<const wchar_t*> match;
  const auto flags = anchored_ ? boost::match_default | boost::match_continuous : boost::match_default;
  try {
    if (!boost::regex_search(text, text + length, match, regex_, flags)) return false;
  } catch (const std::exception&) {
    // Boost's complexity limit ("(a*)*b"): the pattern matches nothing from now on, so
    // a large tree does not pay that price for every name.
    failed_.store(true, std::memory_order_relaxed);
    return false;
  }
  if (span) {
    const auto& group = match[1].matched ? match[1] : match[0];
    *span = MatchSpan{static_cast<std::uint32_t>(group.first - text),
                      static_cast<std::uint32_t>(group.second - group.first)};
  }
  return true;
}

// --- The filter ---------------------------------------------------------------------------

NameFilter::NameFilter(std::wstring_view input, const SearchOptions& options, Dictionary& dictionary)
    : input_(input) {
  if (input.empty()) {
    namePart_ = std::make_unique<Part>(std::wstring_view(), options, dictionary, *this);
    state_ = FilterState::Everything;
    return;
  }
  std::vector<std::wstring_view> parts = SplitParts(input);
  if (parts.size() > 1 && parts.front().empty()) {
    rootAnchored_ = true;
    parts.erase(parts.begin());
  }
  if (parts.size() - 1 > kMaxFolderParts) {
    sawNothing_ = true;
    parts.erase(parts.begin(), parts.end() - 1);
  }
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    folderParts_.push_back(std::make_unique<Part>(parts[i], options, dictionary, *this));
  }
  namePart_ = std::make_unique<Part>(parts.back(), options, dictionary, *this);

  if (!errorText_.empty()) {
    state_ = FilterState::PatternError;
  } else if (sawNothing_) {
    state_ = FilterState::NoExpansion;
  } else if (sawUnexpanded_) {
    state_ = FilterState::Unexpanded;
  } else if (sawRegex_) {
    state_ = FilterState::Expanded;
  } else {
    state_ = FilterState::Literal;
  }
}

bool NameFilter::MatchPart(const Part& part, const wchar_t* name, std::size_t length, bool halfWidthKana,
                           MatchSpan* span) const {
  if (!halfWidthKana || part.kind() != Part::Kind::Regex) return part.Matches(name, length, span);
  // Kanasift matches half-width katakana as full width; the span is mapped back.
  thread_local std::vector<std::uint32_t> origin;
  thread_local std::wstring folded;
  FoldHalfWidthKana(std::wstring_view(name, length), folded, span ? &origin : nullptr);
  MatchSpan inFolded;
  if (!part.Matches(folded.data(), folded.size(), span ? &inFolded : nullptr)) return false;
  if (span) {
    const std::uint32_t start = origin[inFolded.start];
    const std::uint32_t end = origin[inFolded.start + inFolded.length];
    *span = MatchSpan{start, end - start};
  }
  return true;
}

bool NameFilter::MatchesName(const wchar_t* name, std::size_t length, bool halfWidthKana, MatchSpan* span) const {
  if (sawNothing_ || !errorText_.empty()) return false;
  return MatchPart(*namePart_, name, length, halfWidthKana, span);
}

bool NameFilter::MatchesName(std::wstring_view name, MatchSpan* span) const {
  bool halfWidth = false;
  for (wchar_t c : name) halfWidth = halfWidth || (c >= 0xFF61 && c <= 0xFF9F);
  return MatchesName(name.data(), name.size(), halfWidth, span);
}

std::uint32_t NameFilter::FolderPartMask(const wchar_t* name, std::size_t length, bool halfWidthKana) const {
  std::uint32_t mask = 0;
  for (std::size_t i = 0; i < folderParts_.size(); ++i) {
    if (MatchPart(*folderParts_[i], name, length, halfWidthKana, nullptr)) mask |= 1u << i;
  }
  return mask;
}

// --- Entries ------------------------------------------------------------------------------

EntryMatcher::EntryMatcher(const NameFilter& filter, const EntryIndex& index, ShowOptions show)
    : filter_(filter), index_(index), show_(show) {
  Extend();
}

void EntryMatcher::Extend() {
  if (!filter_.pathMode()) return;
  const std::uint32_t count = index_.FolderCount();
  const std::size_t parts = filter_.folderPartCount();
  const std::uint32_t all = parts >= 32 ? 0xFFFFFFFFu : (1u << parts) - 1;
  for (std::uint32_t id = static_cast<std::uint32_t>(chain_.size()); id < count; ++id) {
    if (id == kRootFolder) {
      chain_.push_back(0);
      continue;
    }
    const FolderRecord& folder = index_.folder(id);
    const Entry& entry = index_.entry(folder.entry);
    const std::uint32_t own = filter_.FolderPartMask(entry.name, entry.nameLength, entry.flags & kEntryHalfWidthKana);
    // Part 0 may match any folder, or only one right below the root.
    const std::uint32_t start = (!filter_.rootAnchored() || folder.parent == kRootFolder) ? 1u : 0u;
    chain_.push_back(own & ((chain_[folder.parent] << 1) | start) & all);
  }
}

bool EntryMatcher::MatchesEntry(const Entry& entry) const {
  if (filter_.pathMode()) {
    const std::size_t parts = filter_.folderPartCount();
    if (parts == 0) {
      if (entry.folder != kRootFolder) return false;  // "\name": right below the root
    } else if (!((chain_[entry.folder] >> (parts - 1)) & 1u)) {
      return false;
    }
  }
  return filter_.MatchesName(entry.name, entry.nameLength, (entry.flags & kEntryHalfWidthKana) != 0, nullptr);
}
