// Portable private profile functions. The file is read whole, split into lines and
// classified the way Windows' own reader does it; a write edits the affected line only
// and replaces the file through a temporary copy, so a failed write never leaves a
// truncated file behind and every line it did not touch keeps its exact bytes.
//
// Text format (matching what Windows and Wine do with the same file):
//  - A line ends at CR LF, LF or a lone CR; the last line needs no line break.
//  - Blanks (space, tab, CR, LF, VT, FF and ^Z) around a line are ignored.
//  - A line that starts with '[' and has a ']' after it is a section header; the name
//    is what lies between '[' and the last ']', without surrounding blanks.
//  - Any other non-blank line is an entry: the name is the text before the first '='
//    (or the whole line when it has none, an entry without a value), the value is the
//    text after it, both without surrounding blanks. Comment lines (";...") are simply
//    entries whose names no caller asks for.
//  - Entries before the first header belong to the section with the empty name.
//  - Names match without regard to ASCII case; a double-byte character matches only
//    itself. Only the first section of a name is consulted, and in it the first entry.
//  - A value enclosed in a pair of equal quotes (' or ") is read without them.
#include "platform/PortableProfile.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <climits>
#include <cstdlib>
#include <unistd.h>
#endif

#include "platform/Platform.h"

namespace portable_profile {
namespace {

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && IsBlank(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII letters match in either case; the two bytes of a double-byte character are
// compared as they are, so a trail byte that happens to be a letter never folds.
bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (platform::IsLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
      return false;
    }
  }
  return true;
}

// Bytes of `text` that fit into `limit` bytes without cutting a double-byte character.
size_t FitCharacters(std::string_view text, size_t limit) {
  size_t i = 0;
  while (i < text.size()) {
    size_t step = (platform::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

// A value as the reader hands it out: up to an embedded NUL, and without one pair of
// enclosing quotes.
std::string_view Unquote(std::string_view value) {
  size_t nul = value.find('\0');
  if (nul != std::string_view::npos) value = value.substr(0, nul);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

struct Line {
  enum Kind { kBlank, kSection, kEntry };
  size_t begin = 0;  // first byte
  size_t end = 0;    // end of the content, before the line break
  size_t next = 0;   // first byte of the following line
  Kind kind = kBlank;
  std::string_view name;   // section or entry name, trimmed
  bool hasValue = false;   // an entry with '='
  size_t valueBegin = 0;   // after '=' and the blanks that follow it
};

struct Document {
  std::string text;
  size_t start = 0;  // after a UTF-8 byte order mark
  std::vector<Line> lines;
};

// Names end at an embedded NUL, as they do for the system's functions.
std::string_view UpToNul(std::string_view name) { return name.substr(0, name.find('\0')); }

Line ClassifyLine(const std::string& text, size_t begin, size_t end) {
  Line line;
  line.begin = begin;
  line.end = end;
  std::string_view content = Trim(std::string_view(text).substr(begin, end - begin));
  if (content.empty()) return line;
  if (content.front() == '[') {
    size_t close = content.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      line.kind = Line::kSection;
      line.name = UpToNul(Trim(content.substr(1, close - 1)));
      return line;
    }
  }
  line.kind = Line::kEntry;
  size_t equals = content.find('=');
  if (equals == std::string_view::npos) {
    line.name = UpToNul(content);
    return line;
  }
  line.name = UpToNul(Trim(content.substr(0, equals)));
  line.hasValue = true;
  size_t contentBegin = static_cast<size_t>(content.data() - text.data());
  size_t value = contentBegin + equals + 1;
  while (value < end && IsBlank(static_cast<unsigned char>(text[value]))) ++value;
  line.valueBegin = value;
  return line;
}

void SplitLines(Document& doc) {
  const std::string& text = doc.text;
  doc.start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  size_t pos = doc.start;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    size_t next;
    if (end == std::string::npos) {
      end = next = text.size();
    } else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      next = end + 2;
    } else {
      next = end + 1;
    }
    Line line = ClassifyLine(text, pos, end);
    line.next = next;
    doc.lines.push_back(line);
    pos = next;
  }
}

bool IsUtf16(const std::string& text) {
  return text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'));
}

enum class LoadResult { kLoaded, kMissing, kUnusable };

// Larger files are no settings files; they are neither read nor written.
constexpr std::size_t kMaxFileSize = std::size_t{64} << 20;

LoadResult LoadDocument(const char* path, Document& doc) {
  struct stat info;
  if (stat(path, &info) != 0) return LoadResult::kMissing;
  // Devices, pipes and folders are refused before they are opened.
  if ((info.st_mode & S_IFMT) != S_IFREG ||
      static_cast<unsigned long long>(info.st_size) > kMaxFileSize) {
    return LoadResult::kUnusable;
  }
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return LoadResult::kUnusable;
  char chunk[16384];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0 && doc.text.size() <= kMaxFileSize) {
    doc.text.append(chunk, n);
  }
  bool failed = std::ferror(file) != 0 || doc.text.size() > kMaxFileSize;
  std::fclose(file);
  // Text in UTF-16 is not handled here: read it as absent, never write over it.
  if (failed || IsUtf16(doc.text)) return LoadResult::kUnusable;
  SplitLines(doc);
  return LoadResult::kLoaded;
}

// Lines [first, last) of the first section called `name`; false when there is none.
// The lines before the first header form the section with the empty name.
bool FindSection(const Document& doc, std::string_view name, size_t& header, size_t& first, size_t& last) {
  const size_t count = doc.lines.size();
  size_t firstHeader = 0;
  while (firstHeader < count && doc.lines[firstHeader].kind != Line::kSection) ++firstHeader;
  if (name.empty()) {
    header = SIZE_MAX;
    first = 0;
    last = firstHeader;
    return true;
  }
  for (size_t i = firstHeader; i < count; ++i) {
    if (doc.lines[i].kind != Line::kSection || !NamesEqual(doc.lines[i].name, name)) continue;
    header = i;
    first = i + 1;
    last = first;
    while (last < count && doc.lines[last].kind != Line::kSection) ++last;
    return true;
  }
  return false;
}

size_t FindEntry(const Document& doc, size_t first, size_t last, std::string_view name) {
  for (size_t i = first; i < last; ++i) {
    if (doc.lines[i].kind == Line::kEntry && NamesEqual(doc.lines[i].name, name)) return i;
  }
  return SIZE_MAX;
}

size_t CopyOut(std::string_view value, char* buffer, size_t size) {
  size_t n = FitCharacters(value, size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return n;
}

// The line break new lines get: the file's own first one, CR LF in a new file.
std::string_view LineBreakOf(const Document& doc) {
  for (const Line& line : doc.lines) {
    if (line.next > line.end) return std::string_view(doc.text).substr(line.end, line.next - line.end);
  }
  return "\r\n";
}

bool HasLineBreak(const Line& line) { return line.next > line.end; }

// The text without lines [first, last). Should the line before end in a lone CR and the
// text after start with LF, the two would join into one CR LF and swallow a line; the
// final LF of the removed lines then stays, completing the line before's break.
std::string WithoutLines(const Document& doc, size_t first, size_t last) {
  const std::string& text = doc.text;
  if (first >= last) return text;
  size_t begin = doc.lines[first].begin;
  size_t end = last < doc.lines.size() ? doc.lines[last].begin : text.size();
  if (begin > 0 && text[begin - 1] == '\r' && end < text.size() && text[end] == '\n') --end;
  return text.substr(0, begin) + text.substr(end);
}

// Writes `text` to a temporary file beside `path` and replaces `path` with it, so the
// old file stays whole until the new one is. The program's writes of one file come one
// after another (one instance, one thread), so the temporary file has a fixed name, and
// one left by a crash is simply replaced.
bool ReplaceContents(const std::string& path, const std::string& text) {
  std::string target = path;
#ifndef _WIN32
  // Write through a symbolic link to the file it names, keeping the link.
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved)) target = resolved;
#endif
  struct stat original;
  bool exists = stat(target.c_str(), &original) == 0;
  // A read-only file (no owner write permission, Windows' read-only attribute) stays as
  // it is, also for a privileged user whom the system would let write.
  if (exists && ((original.st_mode & S_IFMT) != S_IFREG || (original.st_mode & S_IWUSR) == 0)) return false;

  std::string temp = target + ".kstmp";
  std::remove(temp.c_str());
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fflush(file) == 0 && ok;
#ifndef _WIN32
  ok = fsync(fileno(file)) == 0 && ok;
#endif
  ok = std::fclose(file) == 0 && ok;
  if (ok && exists) chmod(temp.c_str(), original.st_mode & 07777);
  if (ok) ok = platform::ReplaceFile(temp, target);
  if (!ok) std::remove(temp.c_str());
  return ok;
}

// Names and values that could not be read back as written are refused: a line break
// would split the line, '=' would end the name early, a key starting with '[' could read
// as a section header, and one starting like a UTF-8 byte order mark would lose it at
// the start of the file.
bool IsWritableName(std::string_view name, bool isSection) {
  if (name.find_first_of("\r\n") != std::string_view::npos) return false;
  if (isSection) return true;
  return name.find('=') == std::string_view::npos && (name.empty() || name.front() != '[') &&
         name.compare(0, 3, "\xEF\xBB\xBF") != 0;
}

}  // namespace

std::size_t ReadString(const char* section, const char* key, const char* fallback, char* buffer,
                       std::size_t size, const char* path) {
  if (!buffer || size == 0) return 0;
  // A default loses its trailing spaces, as Windows documents.
  std::string_view value = fallback ? fallback : "";
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  if (!section || !key) {
    buffer[0] = '\0';
    return 0;
  }
  Document doc;
  if (path && LoadDocument(path, doc) == LoadResult::kLoaded) {
    size_t header = SIZE_MAX, first = 0, last = 0;
    if (FindSection(doc, Trim(section), header, first, last)) {
      size_t entry = FindEntry(doc, first, last, Trim(key));
      if (entry != SIZE_MAX && doc.lines[entry].hasValue) {
        const Line& line = doc.lines[entry];
        size_t end = line.end;
        while (end > line.valueBegin && IsBlank(static_cast<unsigned char>(doc.text[end - 1]))) --end;
        value = std::string_view(doc.text).substr(line.valueBegin, end - line.valueBegin);
      }
    }
  }
  return CopyOut(Unquote(value), buffer, size);
}

bool WriteString(const char* section, const char* key, const char* value, const char* path) {
  if (!section || !path) return false;
  std::string_view sectionName = Trim(section);
  if (!IsWritableName(sectionName, true)) return false;
  std::string_view keyName = key ? Trim(key) : std::string_view();
  if (key && !IsWritableName(keyName, false)) return false;
  std::string_view newValue;
  if (value) {
    newValue = value;
    while (!newValue.empty() && IsBlank(static_cast<unsigned char>(newValue.front()))) newValue.remove_prefix(1);
    if (newValue.find_first_of("\r\n") != std::string_view::npos) return false;
  }

  Document doc;
  if (LoadDocument(path, doc) == LoadResult::kUnusable) return false;
  const std::string& text = doc.text;
  const std::string_view lineBreak = LineBreakOf(doc);
  std::string result;

  size_t header = SIZE_MAX, first = 0, last = 0;
  bool sectionFound = FindSection(doc, sectionName, header, first, last);

  if (!key) {
    // No key: remove the whole section.
    if (!sectionFound) return true;
    result = WithoutLines(doc, header != SIZE_MAX ? header : 0, last);
  } else if (!value) {
    // No value: remove the key's line.
    size_t entry = sectionFound ? FindEntry(doc, first, last, keyName) : SIZE_MAX;
    if (entry == SIZE_MAX) return true;
    result = WithoutLines(doc, entry, entry + 1);
  } else if (!sectionFound) {
    // A new section at the end, after a blank line.
    result = text;
    bool anyContent = false;
    for (const Line& line : doc.lines) anyContent = anyContent || line.kind != Line::kBlank;
    if (!doc.lines.empty() && !HasLineBreak(doc.lines.back())) result += lineBreak;
    if (anyContent && doc.lines.back().kind != Line::kBlank) result += lineBreak;
    result += '[';
    result += sectionName;
    result += ']';
    result += lineBreak;
    result += keyName;
    result += '=';
    result += newValue;
    result += lineBreak;
  } else if (size_t entry = FindEntry(doc, first, last, keyName); entry != SIZE_MAX) {
    // Replace the value, keeping the name as the file spells it and the spacing before
    // the value; a name without '=' gets one.
    const Line& line = doc.lines[entry];
    size_t keep = line.hasValue ? line.valueBegin
                                : static_cast<size_t>(line.name.data() + line.name.size() - text.data());
    result = text.substr(0, keep);
    if (!line.hasValue) result += '=';
    result += newValue;
    result += text.substr(line.end);
  } else {
    // A new key after the section's last non-blank line (so blank separator lines stay
    // between sections), or first in an empty section.
    size_t after = header;
    for (size_t i = first; i < last; ++i) {
      if (doc.lines[i].kind != Line::kBlank) after = i;
    }
    size_t insertAt = after == SIZE_MAX ? doc.start : doc.lines[after].next;
    result = text.substr(0, insertAt);
    if (after != SIZE_MAX && !HasLineBreak(doc.lines[after])) result += lineBreak;
    result += keyName;
    result += '=';
    result += newValue;
    // A lone CR before an LF would join it into one break.
    result += (lineBreak == "\r" && insertAt < text.size() && text[insertAt] == '\n') ? "\r\n" : lineBreak;
    result += text.substr(insertAt);
  }
  return ReplaceContents(path, result);
}

bool IsUnusable(const char* path) {
  Document doc;
  return path && LoadDocument(path, doc) == LoadResult::kUnusable;
}

}  // namespace portable_profile
