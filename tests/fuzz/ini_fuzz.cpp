// Fuzz target for the portable profile functions: arbitrary file contents, then reads,
// writes and removals of arbitrary sections, keys and values.
//
// Input: the file's bytes, then optionally "\n\x1E" and operations separated by 0x1E,
// each "<op><section>\x1F<key>\x1F<value>" with op 'W' (write), 'R' (read), 'K' (remove
// the key) or 'S' (remove the section). Without operations a few fixed ones run.
//
// Checked after every step: a failed write leaves the file's bytes as they were; a
// successful write reads back as the reader normalises it, changes no other entry's
// value, and keeps every other line of the file; a read stays inside its buffer and
// ends with NUL.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/PortableProfile.h"
#include "tests/fuzz/FuzzScratch.h"

namespace {

// What the step in progress did, printed when an invariant breaks.
std::string g_context;

std::string Escaped(const std::string& bytes) {
  std::string out;
  char hex[8];
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

void Check(bool condition, const char* what) { FuzzCheck(condition, "ini", what, g_context); }

const std::string& FilePath() {
  static const std::string path = FuzzScratchFile("ini", "fuzz.ini");
  return path;
}

void WriteFileBytes(const std::string& bytes) {
  std::FILE* file = std::fopen(FilePath().c_str(), "wb");
  Check(file != nullptr, "fuzz file can be created");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string ReadFileBytes() {
  std::string bytes;
  std::FILE* file = std::fopen(FilePath().c_str(), "rb");
  if (!file) return bytes;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
  std::fclose(file);
  return bytes;
}

bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && IsBlank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// What a written value reads back as.
std::string Normalised(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

// Reads through an exact-size heap block, so a write past its end is caught.
std::string Read(const std::string& section, const std::string& key, size_t size) {
  std::unique_ptr<char[]> buffer(new char[size]);
  std::memset(buffer.get(), '#', size);
  size_t n = portable_profile::ReadString(section.c_str(), key.c_str(), "\x01missing", buffer.get(), size,
                                          FilePath().c_str());
  Check(n < size, "count below the buffer size");
  Check(buffer[n] == '\0', "NUL after the copied bytes");
  Check(std::strlen(buffer.get()) == n, "no NUL inside the copied bytes");
  return std::string(buffer.get(), n);
}

// Lines without their breaks (CR LF, LF or a lone CR), as the reader splits them. A
// UTF-8 byte order mark opening a line is left out: removing the first line can bring
// one from the second line to the file's start.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  auto add = [&lines](std::string line) {
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    lines.push_back(std::move(line));
  };
  size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) {
      add(text.substr(pos));
      break;
    }
    add(text.substr(pos, end - pos));
    pos = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2 : end + 1;
  }
  return lines;
}

// `part`, with at most `skips` of its lines left out, is a subsequence of `whole`
// (a longest common subsequence at least that long).
bool KeepsLines(const std::vector<std::string>& part, const std::vector<std::string>& whole, size_t skips) {
  std::vector<size_t> row(whole.size() + 1, 0), next(whole.size() + 1, 0);
  for (size_t i = 0; i < part.size(); ++i) {
    for (size_t j = 0; j < whole.size(); ++j) {
      next[j + 1] = part[i] == whole[j] ? row[j] + 1 : std::max(row[j + 1], next[j]);
    }
    std::swap(row, next);
  }
  return row[whole.size()] + skips >= part.size();
}

// Every (section, key) pair the text may name, for the "no other value changed" check.
std::vector<std::pair<std::string, std::string>> Names(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> names;
  std::string section;
  for (const std::string& raw : Lines(text)) {
    std::string_view line = Trim(raw);
    if (line.empty()) continue;
    if (line.front() == '[' && line.rfind(']') != std::string_view::npos && line.rfind(']') > 0) {
      section = std::string(Trim(line.substr(1, line.rfind(']') - 1)));
      continue;
    }
    std::string_view key = Trim(line.substr(0, line.find('=')));
    names.emplace_back(section.c_str(), std::string(key).c_str());
    if (names.size() >= 64) break;
  }
  return names;
}

bool SameName(std::string_view a, std::string_view b) {
  a = Trim(a);
  b = Trim(b);
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

struct Operation {
  char op;
  std::string section, key, value;
};

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t pos = 0;
  for (;;) {
    size_t end = text.find(separator, pos);
    parts.emplace_back(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
    if (end == std::string_view::npos) return parts;
    pos = end + 1;
  }
}

// C strings end at NUL, as the functions see them.
std::string CString(const std::string& s) { return std::string(s.c_str()); }

void RunWrite(const Operation& operation) {
  const std::string before = ReadFileBytes();
  auto names = Names(before);
  std::vector<std::string> valuesBefore;
  for (const auto& [section, key] : names) valuesBefore.push_back(Read(section, key, 64));

  bool ok = portable_profile::WriteString(operation.section.c_str(), operation.key.c_str(),
                                          operation.value.c_str(), FilePath().c_str());
  const std::string after = ReadFileBytes();
  g_context = "write [" + Escaped(operation.section) + "] " + Escaped(operation.key) + " = " +
              Escaped(operation.value) + "\nbefore: " + Escaped(before) + "\nafter:  " + Escaped(after);
  if (!ok) {
    Check(after == before, "a failed write leaves the file as it was");
    return;
  }
  std::string expected = Normalised(operation.value);
  Check(Read(operation.section, operation.key, expected.size() + 2) == expected, "a written value reads back");
  Check(KeepsLines(Lines(before), Lines(after), 1), "every other line is kept");
  for (size_t i = 0; i < names.size(); ++i) {
    if (SameName(names[i].first, operation.section) && SameName(names[i].second, operation.key)) continue;
    Check(Read(names[i].first, names[i].second, 64) == valuesBefore[i], "no other value changes");
  }
}

void RunRemove(const Operation& operation, bool wholeSection) {
  const std::string before = ReadFileBytes();
  bool ok = portable_profile::WriteString(operation.section.c_str(), wholeSection ? nullptr : operation.key.c_str(),
                                          nullptr, FilePath().c_str());
  const std::string after = ReadFileBytes();
  g_context = std::string(wholeSection ? "remove section [" : "remove key [") + Escaped(operation.section) + "] " +
              Escaped(operation.key) + "\nbefore: " + Escaped(before) + "\nafter:  " + Escaped(after);
  if (!ok) {
    Check(after == before, "a failed removal leaves the file as it was");
    return;
  }
  // What is left is the old file less some lines: one for a key, a block for a section.
  std::vector<std::string> left = Lines(after), old = Lines(before);
  Check(KeepsLines(left, old, 0), "a removal only removes lines");
  if (!wholeSection) {
    Check(KeepsLines(old, left, 1) && left.size() + 1 >= old.size(), "a key's removal takes one line");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t marker = input.find("\n\x1E");
  std::string contents(input.substr(0, marker));
  std::vector<Operation> operations;
  if (marker != std::string_view::npos) {
    for (const std::string& part : Split(input.substr(marker + 2), '\x1E')) {
      if (part.empty()) continue;
      std::vector<std::string> fields = Split(std::string_view(part).substr(1), '\x1F');
      fields.resize(3);
      operations.push_back({part[0], CString(fields[0]), CString(fields[1]), CString(fields[2])});
      if (operations.size() >= 16) break;
    }
  } else {
    operations = {{'R', "main", "IsUse", ""},      {'W', "main", "IsUse", "0"},
                  {'W', "key", "NextCandidateShortcut", "N+"}, {'W', "new section", "k", " \"v\" "},
                  {'K', "main", "IsUse", ""},      {'S', "key", "", ""}};
  }

  WriteFileBytes(contents);
  for (const Operation& operation : operations) {
    switch (operation.op) {
      case 'W':
        RunWrite(operation);
        break;
      case 'K':
        RunRemove(operation, false);
        break;
      case 'S':
        RunRemove(operation, true);
        break;
      default:
        Read(operation.section, operation.key, 1 + operation.value.size() % 80);
        break;
    }
  }
  return 0;
}
