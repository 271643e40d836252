// Fuzz target for the input history: the reader on arbitrary file bytes, the writer and
// the reader again, and the dialog's list rules driven by arbitrary confirmations.
//
// Input: one byte (the history limit, -8..119), then the file's bytes; an optional
// "\n\x1E" starts texts to confirm, separated by 0x1E.
//
// Checked: at most `historyMax` entries, none longer than an entry may be, none holding a
// line feed; what is written reads back the same
// (entries cut at their first line break) from the formatted text and from a real file,
// and a failed write never leaves a temporary file; after confirmations the newest text
// is first and no two entries are equal ignoring case.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/FuzzScratch.h"
#include "ui/HistoryFile.h"
#include "ui/InputHistory.h"

namespace {

void Check(bool condition, const char* what) { FuzzCheck(condition, "history", what); }

const std::string& FilePath() {
  static const std::string path = FuzzScratchFile("history", "RegexHistory.ini");
  return path;
}

void CheckEntries(const std::vector<std::string>& entries, std::int32_t historyMax) {
  Check(historyMax > 0 || entries.empty(), "no entries without a limit");
  Check(historyMax <= 0 || entries.size() <= static_cast<std::size_t>(historyMax), "at most historyMax entries");
  for (const std::string& entry : entries) {
    Check(entry.size() <= kHistoryEntryMax, "an entry fits the edit field");
    Check(entry.find('\n') == std::string::npos, "an entry is one line");
    Check(entry.find('\0') == std::string::npos, "an entry is a C string");
  }
}

// What a written entry reads back as.
std::string OneLine(const std::string& entry) { return entry.substr(0, entry.find_first_of("\r\n")); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::int32_t historyMax = static_cast<std::int32_t>(data[0] % 128) - 8;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::size_t marker = rest.find("\n\x1E");
  std::string_view contents = rest.substr(0, marker);

  std::vector<std::string> entries = ParseHistory(contents, historyMax);
  CheckEntries(entries, historyMax);

  // Formatted and parsed again: the same entries, each cut at its first line break.
  std::vector<std::string> expected;
  for (const std::string& entry : entries) expected.push_back(OneLine(entry));
  Check(ParseHistory(FormatHistory(entries, historyMax), historyMax) == expected, "format and parse agree");

  // Through a real file: written, then read back the same; no temporary file left.
  const std::string& path = FilePath();
  std::remove(path.c_str());
  if (WriteHistoryFile(path, entries, historyMax)) {
    bool unreadable = true;
    Check(ReadHistoryFile(path, historyMax, &unreadable) == expected, "a written file reads back");
    Check(!unreadable, "a written file is readable");
  }
  Check(!std::filesystem::exists(path + ".tmp"), "no temporary file is left");

  // The dialog's list under arbitrary confirmations.
  if (marker != std::string_view::npos) {
    InputHistory history(historyMax);
    std::string_view texts = rest.substr(marker + 2);
    std::size_t start = 0;
    for (int n = 0; n < 32 && start <= texts.size(); ++n) {
      std::size_t end = texts.find('\x1E', start);
      if (end == std::string_view::npos) end = texts.size();
      std::string text = CutToCharacterLimit(texts.substr(start, end - start));
      history.Confirm(text);
      Check(!history.empty() && history.entries().front() == text, "the newest text comes first");
      start = end + 1;
    }
    const auto& list = history.entries();
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (std::size_t j = i + 1; j < list.size(); ++j) {
        Check(!SameTextIgnoringCase(list[i], list[j]), "no two entries differ only in case");
      }
    }
  }
  return 0;
}
