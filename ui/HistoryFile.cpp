#include "ui/HistoryFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/Platform.h"
#include "ui/InputHistory.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Keeps one byte more of each line than an entry may hold, enough to cut it at a
// character boundary; the rest of a long line is skipped.
constexpr std::size_t kLineKeep = kHistoryEntryMax + 1;

// Splits a byte stream into entries. `next` returns the next byte or -1 at the end.
template <typename NextByte>
std::vector<std::string> SplitLines(NextByte next, std::int32_t historyMax) {
  std::vector<std::string> entries;
  if (historyMax <= 0) return entries;
  std::string line;
  std::size_t length = 0;  // of the whole line, kept or not
  bool lastWasCr = false;
  auto finishLine = [&] {
    if (lastWasCr && line.size() == length) line.pop_back();  // CR LF
    entries.push_back(CutToCharacterLimit(line));
    line.clear();
    length = 0;
    lastWasCr = false;
  };
  for (int c = next(); c >= 0; c = next()) {
    if (c == '\n') {
      finishLine();
      if (entries.size() >= static_cast<std::size_t>(historyMax)) return entries;
      continue;
    }
    if (line.size() < kLineKeep) line.push_back(static_cast<char>(c));
    ++length;
    lastWasCr = c == '\r';
  }
  if (length > 0) finishLine();
  return entries;
}

}  // namespace

std::vector<std::string> ParseHistory(std::string_view contents, std::int32_t historyMax) {
  std::size_t pos = 0;
  return SplitLines(
      [&]() -> int {
        if (pos >= contents.size()) return -1;
        return static_cast<unsigned char>(contents[pos++]);
      },
      historyMax);
}

std::string FormatHistory(const std::vector<std::string>& entries, std::int32_t historyMax) {
  std::string contents;
  if (historyMax <= 0) return contents;
  const std::size_t count = std::min(entries.size(), static_cast<std::size_t>(historyMax));
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& entry = entries[i];
    contents.append(entry, 0, entry.find_first_of("\r\n"));
    contents += "\r\n";
  }
  return contents;
}

std::vector<std::string> ReadHistoryFile(const std::string& path, std::int32_t historyMax,
                                         bool* unreadable) {
  if (unreadable) *unreadable = false;
  struct stat info;
  const bool exists = stat(path.c_str(), &info) == 0;
  UniqueFile file(exists && (info.st_mode & S_IFMT) == S_IFREG ? std::fopen(path.c_str(), "rb") : nullptr);
  if (!file) {
    if (unreadable) *unreadable = exists;
    return {};
  }
  std::FILE* f = file.get();
  std::vector<std::string> entries = SplitLines([f]() -> int { return std::getc(f); }, historyMax);
  if (std::ferror(f)) {
    if (unreadable) *unreadable = true;
    return {};
  }
  return entries;
}

bool WriteHistoryFile(const std::string& path, const std::vector<std::string>& entries,
                      std::int32_t historyMax) {
  struct stat old;
  if (stat(path.c_str(), &old) == 0 && ((old.st_mode & S_IFMT) != S_IFREG || (old.st_mode & S_IWUSR) == 0)) {
    return false;
  }
  const std::string contents = FormatHistory(entries, historyMax);
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  written = std::fflush(file) == 0 && written;
  written = std::ferror(file) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (written && platform::ReplaceFile(temporary, path)) return true;
  std::remove(temporary.c_str());
  return false;
}

std::string DirectoryOf(std::string_view path) {
  const std::string text(path.substr(0, path.find('\0')));
  const char* begin = text.c_str();
  const char* lastSeparator = nullptr;
  for (const char* p = begin; *p != '\0'; p = platform::CharNext(p)) {
    if (*p == '\\' || *p == '/') lastSeparator = p;
  }
  if (lastSeparator == nullptr) return {};
  return std::string(begin, lastSeparator);
}

std::string HistoryFilePath(std::string_view directory, std::string_view fileName) {
  std::string path(directory);
  path += '\\';
  path += fileName;
  return path;
}
