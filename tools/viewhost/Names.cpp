#include "Names.h"

#include <windows.h>

#include <cstdio>

bool ReadUtf8Lines(const std::wstring& path, std::vector<std::wstring>& lines) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, chunk, sizeof(chunk), &read, nullptr) != FALSE) && read > 0) bytes.append(chunk, read);
  CloseHandle(file);
  if (!ok) return false;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);

  lines.clear();
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!(end == bytes.size() && line.empty())) lines.push_back(FromUtf8(line));
    start = end + 1;
  }
  return true;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &ansi[0], length, nullptr, nullptr);
  return ansi;
}

std::vector<std::string> ListNames(const std::vector<std::wstring>& lines) {
  std::vector<std::string> names;
  for (const auto& line : lines) {
    if (!line.empty()) names.push_back(ToAnsi(line));
  }
  return names;
}

std::vector<TreeLine> TreeLines(const std::vector<std::wstring>& lines) {
  std::vector<TreeLine> out;
  for (const auto& line : lines) {
    std::size_t at = 0;
    int columns = 0;
    for (; at < line.size() && (line[at] == L' ' || line[at] == L'\t'); ++at) columns += line[at] == L'\t' ? 2 : 1;
    if (at == line.size()) continue;
    TreeLine entry;
    entry.depth = columns / 2;
    if (line[at] == L'+') {
      entry.expanded = true;
      ++at;
    }
    entry.name = ToAnsi(line.substr(at));
    out.push_back(entry);
  }
  return out;
}

namespace {

// Words that Japanese file names are made of, by script.
const char* const kKanji[] = {"会社", "資料", "報告書", "議事録", "見積書", "請求書", "写真", "設計書", "仕様書",
                              "予定表", "売上", "顧客名簿", "契約書", "企画", "会議", "日報", "月報", "経費精算",
                              "東京支店", "大阪営業所", "新規事業", "社員旅行", "年末調整", "勤怠"};
const char* const kHiragana[] = {"かいしゃ", "しりょう", "めも", "おしらせ", "まとめ", "したがき", "てんぷ", "ひかえ",
                                 "よてい", "れんらく"};
const char* const kKatakana[] = {"データ", "テスト", "ファイル", "レポート", "メモ", "バックアップ", "リスト",
                                 "サンプル", "プロジェクト", "スケジュール", "カイシャ", "マニュアル"};
const char* const kHalfWidth[] = {"ﾃﾞｰﾀ", "ﾃｽﾄ", "ﾒﾓ", "ﾌｧｲﾙ", "ｶｲｼｬ", "ﾘｽﾄ", "ｻﾝﾌﾟﾙ", "ﾚﾎﾟｰﾄ"};
const char* const kAscii[] = {"readme", "report", "data", "image", "backup", "draft", "notes", "budget",
                              "invoice", "Kaisya", "Shiryou", "summary", "IMG", "DSC", "setup", "log"};
const char* const kExtensions[] = {".txt", ".doc", ".docx", ".xls", ".xlsx", ".pdf", ".jpg", ".png",
                                   ".csv", ".md", ".zip", ""};

template <std::size_t N>
const char* Pick(const char* const (&words)[N], unsigned& state) {
  state = state * 1103515245u + 12345u;
  return words[(state >> 8) % N];
}

unsigned Roll(unsigned& state, unsigned range) {
  state = state * 1103515245u + 12345u;
  return (state >> 8) % range;
}

const char* Word(unsigned& state) {
  unsigned kind = Roll(state, 100);
  if (kind < 35) return Pick(kKanji, state);
  if (kind < 55) return Pick(kKatakana, state);
  if (kind < 65) return Pick(kHiragana, state);
  if (kind < 75) return Pick(kHalfWidth, state);
  return Pick(kAscii, state);
}

}  // namespace

std::vector<std::string> GeneratedNames(int count, unsigned seed) {
  std::vector<std::string> names;
  names.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
  unsigned state = seed;
  for (int i = 0; i < count; ++i) {
    std::string utf8 = Word(state);
    unsigned joint = Roll(state, 4);
    if (joint == 1) utf8 += std::string("_") + Word(state);
    if (joint == 2) utf8 += Word(state);
    char number[16];
    std::snprintf(number, sizeof(number), "_%04d", i);
    utf8 += number;
    utf8 += Pick(kExtensions, state);
    names.push_back(ToAnsi(FromUtf8(utf8)));
  }
  return names;
}
