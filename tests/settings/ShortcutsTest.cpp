// The shortcuts of [key]: defaults, value syntax, and the text of the shortcut list.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Platform.h"
#include "settings/IniFile.h"
#include "settings/Shortcuts.h"
#include "tests/settings/TempDir.h"

inline bool operator==(const Shortcut& a, const Shortcut& b) {
  return a.ctrl == b.ctrl && a.alt == b.alt && a.key == b.key;
}

inline std::ostream& operator<<(std::ostream& out, const Shortcut& s) {
  return out << "{ctrl " << int(s.ctrl) << ", alt " << int(s.alt) << ", key " << int(s.key) << "}";
}

namespace {


class ShortcutsTest : public ::testing::Test {
 protected:
  void load(const std::string& contents) {
    std::string path = dir.file("Kanasift.ini");
    WriteBytes(path, contents);
    IniFile file(path.c_str());
    for (Shortcut& s : shortcuts) s = Shortcut{9, 9, 9};
    LoadShortcuts(file, shortcuts);
  }

  TempDir dir;
  Shortcut shortcuts[SHORTCUT_COUNT];
};

const std::string kNotAssigned = platform::WideToAnsi(L"割り当てなし");

TEST(ShortcutText, NotAssignedIsCodePage932) {
  ASSERT_EQ(kNotAssigned, "\x8a\x84\x82\xe8\x93\x96\x82\xc4\x82\xc8\x82\xb5");
  Shortcut none[SHORTCUT_COUNT];
  for (Shortcut& s : none) s = Shortcut{1, 1, '!'};
  std::string text = ShortcutListText(none);
  EXPECT_EQ(text.substr(0, text.find('\n')), "ToggleEnableStateShortcut : " + kNotAssigned);
}

TEST(ShortcutValue, Syntax) {
  EXPECT_EQ(ParseShortcut("N"), (Shortcut{1, 0, 'N'}));
  EXPECT_EQ(ParseShortcut("N+"), (Shortcut{1, 1, 'N'}));
  EXPECT_EQ(ParseShortcut("N-"), (Shortcut{0, 1, 'N'}));
  EXPECT_EQ(ParseShortcut("N+-"), (Shortcut{1, 1, 'N'}));
  EXPECT_EQ(ParseShortcut("N-+"), (Shortcut{0, 1, 'N'}));
  EXPECT_EQ(ParseShortcut("NX"), (Shortcut{1, 0, 'N'}));   // neither + nor -: Ctrl
  EXPECT_EQ(ParseShortcut("NXY"), (Shortcut{1, 0, 'N'}));
  EXPECT_EQ(ParseShortcut(""), (Shortcut{1, 0, '!'}));     // empty: unassigned
  EXPECT_EQ(ParseShortcut("!-"), (Shortcut{0, 1, '!'}));
  EXPECT_EQ(ParseShortcut("p"), (Shortcut{1, 0, 'p'}));    // 0x70, the F1 key
  EXPECT_EQ(ParseShortcut("+"), (Shortcut{1, 0, '+'}));
  EXPECT_EQ(ParseShortcut("++"), (Shortcut{1, 1, '+'}));
  EXPECT_EQ(ParseShortcut("\x82\xa0"), (Shortcut{1, 0, 0x82}));
}

TEST_F(ShortcutsTest, EmptySectionGivesDefaults) {
  load("[main]\r\nIsUse=1\r\n[key]\r\n");
  const char* defaults = "G!NPST!!!!!!H";
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    EXPECT_EQ(shortcuts[i], (Shortcut{1, 0, static_cast<std::uint8_t>(defaults[i])})) << i;
  }
  EXPECT_EQ(ShortcutListText(shortcuts),
            "ToggleEnableStateShortcut : CTRL+G\n"
            "ToggleIsUsePartialMatchShortcut : " + kNotAssigned + "\n"
            "NextCandidateShortcut : CTRL+N\n"
            "PrevCandidateShortcut : CTRL+P\n"
            "SelectAllCandidatesShortcut : CTRL+S\n"
            "SortBySelectStateShortcut : CTRL+T\n"
            "ToggleCheckboxShortcut : " + kNotAssigned + "\n"
            "SelectCheckedItemsShortcut : " + kNotAssigned + "\n"
            "SortByCheckStateShortcut : " + kNotAssigned + "\n"
            "RegexSearchShortcut : " + kNotAssigned + "\n"
            "SortByNumInStrShortcut : " + kNotAssigned + "\n"
            "SetNisHeader : " + kNotAssigned + "\n"
            "BackSpaceShortcut : CTRL+H\n");
}

TEST_F(ShortcutsTest, MissingFileGivesDefaults) {
  IniFile file(dir.file("absent.ini").c_str());
  LoadShortcuts(file, shortcuts);
  EXPECT_EQ(shortcuts[kNextCandidate], (Shortcut{1, 0, 'N'}));
  EXPECT_EQ(shortcuts[kSetNisHeader], (Shortcut{1, 0, '!'}));
  EXPECT_EQ(shortcuts[kBackSpace], (Shortcut{1, 0, 'H'}));
}

TEST_F(ShortcutsTest, ValuesFromTheFile) {
  load("[main]\r\nNextCandidateShortcut=Q\r\n"  // [main] is not [key]
       "[KEY]\r\n"
       "nextcandidateshortcut=N-\r\n"
       "PrevCandidateShortcut=P+\r\n"
       "ToggleEnableStateShortcut=!\r\n"
       "ToggleIsUsePartialMatchShortcut=M+\r\n"
       "SetNisHeader=I-\r\n"
       "SetNisHeaderShortcut=Z\r\n"
       "RegexSearchShortcut=\r\n"
       "BackSpaceShortcut=  H-  \r\n"
       "SelectAllCandidatesShortcut=N-\r\n");
  EXPECT_EQ(shortcuts[kNextCandidate], (Shortcut{0, 1, 'N'}));
  EXPECT_EQ(shortcuts[kPrevCandidate], (Shortcut{1, 1, 'P'}));
  EXPECT_EQ(shortcuts[kToggleEnableState], (Shortcut{1, 0, '!'}));
  EXPECT_EQ(shortcuts[kToggleIsUsePartialMatch], (Shortcut{1, 1, 'M'}));
  EXPECT_EQ(shortcuts[kSetNisHeader], (Shortcut{0, 1, 'I'}));
  EXPECT_EQ(shortcuts[kRegexSearch], (Shortcut{1, 0, '!'}));
  EXPECT_EQ(shortcuts[kBackSpace], (Shortcut{0, 1, 'H'}));
  // Two commands on one combination are both kept; the key handler picks by its order.
  EXPECT_EQ(shortcuts[kSelectAllCandidates], shortcuts[kNextCandidate]);
  EXPECT_EQ(shortcuts[kSortBySelectState], (Shortcut{1, 0, 'T'}));

  std::string text = ShortcutListText(shortcuts);
  EXPECT_NE(text.find("ToggleEnableStateShortcut : " + kNotAssigned + "\n"), std::string::npos);
  EXPECT_NE(text.find("ToggleIsUsePartialMatchShortcut : CTRL+ALT+M\n"), std::string::npos);
  EXPECT_NE(text.find("NextCandidateShortcut : ALT+N\n"), std::string::npos);
  EXPECT_NE(text.find("PrevCandidateShortcut : CTRL+ALT+P\n"), std::string::npos);
  EXPECT_NE(text.find("SelectAllCandidatesShortcut : ALT+N\n"), std::string::npos);
  EXPECT_NE(text.find("RegexSearchShortcut : " + kNotAssigned + "\n"), std::string::npos);
  EXPECT_NE(text.find("SetNisHeader : ALT+I\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), "BackSpaceShortcut : ALT+H\n");
}

TEST_F(ShortcutsTest, EveryValueLengthUpToThree) {
  const std::pair<const char*, Shortcut> cases[] = {
      {"", {1, 0, '!'}},     {"!", {1, 0, '!'}},     {"A", {1, 0, 'A'}},    {"A+", {1, 1, 'A'}},
      {"A-", {0, 1, 'A'}},   {"AB", {1, 0, 'A'}},    {"A+B", {1, 1, 'A'}},  {"A-B", {0, 1, 'A'}},
      {"ABC", {1, 0, 'A'}},  {"!+", {1, 1, '!'}},    {"\"\"", {1, 0, '!'}}, {"'-'", {1, 0, '-'}},
      {"1", {1, 0, '1'}},    {"=", {1, 0, '='}},     {"[+", {1, 1, '['}},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(value);
    load(std::string("[key]\r\nNextCandidateShortcut=") + value + "\r\n");
    EXPECT_EQ(shortcuts[kNextCandidate], expected);
    std::string text = ShortcutListText(shortcuts);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), SHORTCUT_COUNT);
    EXPECT_EQ(text.find('\0'), std::string::npos);
  }
}

TEST(ShortcutText, UnassignedWhateverTheModifiers) {
  Shortcut list[SHORTCUT_COUNT];
  for (int i = 0; i < SHORTCUT_COUNT; ++i) list[i] = Shortcut{static_cast<std::uint8_t>(i & 1),
                                                                static_cast<std::uint8_t>(i >> 1 & 1), '!'};
  std::string text = ShortcutListText(list);
  size_t lines = 0;
  for (size_t at = 0; (at = text.find(" : " + kNotAssigned + "\n", at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, static_cast<size_t>(SHORTCUT_COUNT));
  EXPECT_EQ(text.find("CTRL+"), std::string::npos);
}

}  // namespace
