// Where viewhost's item names come from: UTF-8 text files, or a generator that makes a
// realistic mix of Japanese and Latin file names for benchmarks. Names are handed out
// in the system ANSI code page, as an Explorer of a Japanese Windows would show them.
#pragma once

#include <string>
#include <vector>

// One line of a tree file: its name and where it sits.
struct TreeLine {
  std::string name;   // ANSI code page
  int depth = 0;      // two spaces or one tab per level
  bool expanded = false;  // "+" in front of the name
};

// Reads a UTF-8 file (a BOM is skipped); false when it cannot be read.
bool ReadUtf8Lines(const std::wstring& path, std::vector<std::wstring>& lines);

// Non-empty lines as names, each converted to the ANSI code page.
std::vector<std::string> ListNames(const std::vector<std::wstring>& lines);
std::vector<TreeLine> TreeLines(const std::vector<std::wstring>& lines);

// `count` distinct names, the same for the same seed.
std::vector<std::string> GeneratedNames(int count, unsigned seed);

std::string ToAnsi(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
