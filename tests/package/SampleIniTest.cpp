// The shipped Kanasift.ini.sample against the program: every key in it is a key the
// program reads, every setting the program reads has its key in it, and every value in
// it is the program's default. The READMEs name every key.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "settings/Shortcuts.h"
#include "settings/TaskTrayAppIniFile.h"
#include "tests/settings/TempDir.h"

namespace {

struct Entry {
  std::string section;
  std::string key;
  std::string value;  // as written, quotes included
};

std::string TextFile(const char* name) { return ReadBytes(std::string(KANASIFT_PACKAGE_TEXTS) + "/" + name); }

const std::string& Sample() {
  static const std::string bytes = TextFile("Kanasift.ini.sample");
  return bytes;
}

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<Entry> Entries(const std::string& bytes) {
  std::vector<Entry> entries;
  std::string section;
  for (const std::string& line : Lines(bytes)) {
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    entries.push_back({section, line.substr(0, equals), line.substr(equals + 1)});
  }
  return entries;
}

std::vector<Entry> Section(const char* name) {
  std::vector<Entry> out;
  for (const Entry& entry : Entries(Sample())) {
    if (entry.section == name) out.push_back(entry);
  }
  return out;
}

// A value of the same kind that differs from `value`.
std::string Changed(const std::string& value) {
  if (value == "0") return "1";
  if (value == "1") return "0";
  bool digits = !value.empty(), hex = value.size() == 6;
  for (char c : value) {
    digits = digits && std::isdigit(static_cast<unsigned char>(c));
    hex = hex && std::isxdigit(static_cast<unsigned char>(c));
  }
  if (digits) return std::to_string(std::stol(value) + 7);
  if (hex) return "123456";
  if (!value.empty() && value[0] == '"') return "\"Changed\t\"";
  return value + "X";
}

// The sample with the values of `keys` changed.
std::string SampleWithChanged(const std::vector<std::string>& keys) {
  std::string out;
  for (const std::string& line : Lines(Sample())) {
    std::string written = line;
    std::size_t equals = line.find('=');
    if (line.empty() || line[0] == ';' || equals == std::string::npos) {
      out += written + "\r\n";
      continue;
    }
    const std::string key = line.substr(0, equals);
    for (const std::string& wanted : keys) {
      if (key == wanted) written = key + "=" + Changed(line.substr(equals + 1));
    }
    out += written + "\r\n";
  }
  return out;
}

AppSettings Load(const std::string& bytes) {
  TempDir dir;
  const std::string path = dir.file("Kanasift.ini");
  WriteBytes(path, bytes);
  TaskTrayAppIniFile file(path.c_str());
  AppSettings settings;
  LoadAppSettings(file, settings);
  return settings;
}

// The settings (named by their keys) whose values are equal in `a` and `b`. Every member
// of AppSettings is bound by name here: a setting added to AppSettings does not compile
// until it is listed below, in the sample and in the READMEs.
std::vector<std::string> EqualSettings(const AppSettings& a, const AppSettings& b) {
  const auto& [a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16, a17, a18, a19, a20] = a;
  const auto& [b0, b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, b11, b12, b13, b14, b15, b16, b17, b18, b19, b20] = b;
  std::vector<std::string> equal;
  auto note = [&equal](const char* key, bool same) {
    if (same) equal.push_back(key);
  };
  note("IsUse", a0 == b0);
  note("IsForceEnable", a1 == b1);
  note("IsUsePartialMatch", a2 == b2);
  note("IsKeepAliveDict", a3 == b3);
  note("DictAliveTime", a4 == b4);
  note("DictPath", a5 == b5);
  note("KanafyLength", a6 == b6);
  note("PermissibleInputInterval", a7 == b7);
  note("IsCheckBySpace", a8 == b8);
  note("IsUseTooltip", a9 == b9);
  note("ToolTipAliveTime", a10 == b10);
  note("IsAnimateTooltip", a11 == b11);
  note("TooltipAnimationInterval", a12 == b12);
  note("TooltipAnimationBarColor", a13 == b13);
  note("TooltipExpiredColor", a14 == b14);
  note("TooltipAnimationBarHeight", a15 == b15);
  note("RegexHistMax", a16 == b16);
  note("Classes", a17 == b17);
  note("TreeClasses", a18 == b18);
  note("ShellViewClasses", a19 == b19);
  note("TargetConditions", a20 == b20);
  return equal;
}
constexpr std::size_t kSettingCount = 21;

std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += name + " ";
  return out;
}

TEST(SampleIni, IsShiftJisWithCrLfAndNoByteOrderMark) {
  const std::string& bytes = Sample();
  ASSERT_NE(bytes, "<missing>");
  EXPECT_NE(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0) << "a byte-order mark breaks the first section";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "a bare LF at byte " << i;
    }
    if (bytes[i] == '\r') {
      ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "a bare CR at byte " << i;
    }
  }
  EXPECT_EQ(platform::WideToAnsi(platform::AnsiToWide(bytes)), bytes) << "not valid code page 932";
  EXPECT_NE(bytes.find("\r\n[main]\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("\r\n[key]\r\n"), std::string::npos);
  EXPECT_NE(bytes.find(KANASIFT_VERSION), std::string::npos);
}

TEST(SampleIni, KeySectionListsEveryShortcutInOrderWithItsDefault) {
  const std::vector<Entry> keys = Section("key");
  ASSERT_EQ(keys.size(), static_cast<std::size_t>(SHORTCUT_COUNT));
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    EXPECT_EQ(keys[i].key, kShortcutKeyNames[i]);
    EXPECT_EQ(keys[i].value, std::string(1, kShortcutDefaults[i])) << keys[i].key;
  }
  // And the program reads them as its defaults.
  TempDir dir;
  WriteBytes(dir.file("sample.ini"), Sample());
  WriteBytes(dir.file("empty.ini"), "");
  IniFile sample(dir.file("sample.ini").c_str());
  IniFile empty(dir.file("empty.ini").c_str());
  Shortcut fromSample[SHORTCUT_COUNT];
  Shortcut defaults[SHORTCUT_COUNT];
  LoadShortcuts(sample, fromSample);
  LoadShortcuts(empty, defaults);
  EXPECT_EQ(std::memcmp(fromSample, defaults, sizeof defaults), 0);
}

TEST(SampleIni, MainSectionHoldsTheDefaults) {
  const std::vector<std::string> equal = EqualSettings(Load(Sample()), AppSettings());
  EXPECT_EQ(equal.size(), kSettingCount) << "equal: " << Join(equal);
  // The sample's values are written out, not left to the defaults.
  EXPECT_EQ(Section("main").size(), kSettingCount);
}

TEST(SampleIni, EveryKeyOfTheMainSectionIsReadByTheProgram) {
  const AppSettings base = Load(Sample());
  for (const Entry& entry : Section("main")) {
    const std::vector<std::string> equal = EqualSettings(Load(SampleWithChanged({entry.key})), base);
    EXPECT_EQ(equal.size(), kSettingCount - 1) << entry.key << " changes " << kSettingCount - equal.size()
                                               << " settings";
    for (const std::string& name : equal) EXPECT_NE(name, entry.key);
  }
}

TEST(SampleIni, EverySettingTheProgramReadsHasItsKeyInTheSample) {
  std::vector<std::string> keys;
  for (const Entry& entry : Section("main")) keys.push_back(entry.key);
  const std::vector<std::string> equal = EqualSettings(Load(SampleWithChanged(keys)), Load(Sample()));
  EXPECT_TRUE(equal.empty()) << "not set through the sample: " << Join(equal);
}

TEST(SampleIni, ReadmesNameEveryKey) {
  for (const char* readme : {"README-en.txt", "README-ja.txt"}) {
    const std::string text = TextFile(readme);
    ASSERT_NE(text, "<missing>") << readme;
    for (const Entry& entry : Entries(Sample())) {
      EXPECT_NE(text.find(entry.key), std::string::npos) << readme << " lacks " << entry.key;
    }
    EXPECT_NE(text.find(std::string("Kanasift ") + KANASIFT_VERSION), std::string::npos) << readme;
  }
}

}  // namespace
