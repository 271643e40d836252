#include "ui/InputHistory.h"

#include <gtest/gtest.h>

#include "HistoryTestSupport.h"

using Entries = std::vector<std::string>;

TEST(SameTextIgnoringCase, FoldsLettersOnly) {
  EXPECT_TRUE(SameTextIgnoringCase("abc", "ABC"));
  EXPECT_TRUE(SameTextIgnoringCase("", ""));
  EXPECT_TRUE(SameTextIgnoringCase("\x82\x81", "\x82\x60"));  // ａ Ａ (full width)
  EXPECT_TRUE(SameTextIgnoringCase("\x83\xBF", "\x83\x9F"));  // α Α
  EXPECT_TRUE(SameTextIgnoringCase("\x84\x70", "\x84\x40"));  // а А (Cyrillic)
  EXPECT_TRUE(SameTextIgnoringCase("\xFA\x40", "\xFA\x4A"));  // ⅰ Ⅰ (Roman numerals)

  EXPECT_FALSE(SameTextIgnoringCase("a", "\x82\x81"));          // a ａ: width differs
  EXPECT_FALSE(SameTextIgnoringCase("\x82\xA0", "\x83\x41"));  // あ ア: kana type differs
  EXPECT_FALSE(SameTextIgnoringCase("\xB1", "\x83\x41"));      // ｱ ア
  EXPECT_FALSE(SameTextIgnoringCase("ab ", "ab"));
  EXPECT_FALSE(SameTextIgnoringCase("a-b", "ab"));
  EXPECT_FALSE(SameTextIgnoringCase("x", ""));
}

TEST(CutToCharacterLimit, NeverSplitsACharacter) {
  EXPECT_EQ(CutToCharacterLimit("abcdef", 4), "abcd");
  EXPECT_EQ(CutToCharacterLimit("ab\x82\xA0", 3), "ab");
  EXPECT_EQ(CutToCharacterLimit("ab\x82\xA0", 4), "ab\x82\xA0");
  EXPECT_EQ(CutToCharacterLimit(std::string("ab\0cd", 5), 10), "ab");
  // A lone lead byte at the end counts as one character.
  EXPECT_EQ(CutToCharacterLimit("ab\x82", 10), "ab\x82");
}

TEST(InputHistory, CaseVariantReplacesTheOlderEntry) {
  InputHistory history(10);
  EXPECT_EQ(history.Confirm("b"), -1);
  EXPECT_EQ(history.Confirm("a"), -1);
  EXPECT_EQ(history.Confirm("B"), 1);
  EXPECT_EQ(history.entries(), (Entries{"B", "a"}));
}

TEST(InputHistory, SameTextTwiceLeavesOneEntryOnTop) {
  InputHistory history(10);
  history.Confirm("x");
  history.Confirm("y");
  EXPECT_EQ(history.Confirm("x"), 1);
  EXPECT_EQ(history.Confirm("x"), 0);
  EXPECT_EQ(history.entries(), (Entries{"x", "y"}));
}

TEST(InputHistory, EmptyTextIsAnEntryLikeAnyOther) {
  InputHistory history(10);
  history.Confirm("a");
  EXPECT_EQ(history.Confirm(""), -1);
  EXPECT_EQ(history.entries(), (Entries{"", "a"}));
  EXPECT_EQ(history.Confirm(""), 0);
  EXPECT_EQ(history.entries(), (Entries{"", "a"}));
}

TEST(InputHistory, FullWidthCaseVariantsAreDuplicates) {
  InputHistory history(10);
  history.Confirm("\x82\x60\x82\x61");  // ＡＢ
  history.Confirm("AB");
  EXPECT_EQ(history.Confirm("\x82\x81\x82\x82"), 1);  // ａｂ replaces ＡＢ, not AB
  EXPECT_EQ(history.entries(), (Entries{"\x82\x81\x82\x82", "AB"}));
}

TEST(InputHistory, GrowsBeyondTheLimitButSavesOnlyTheLimit) {
  ScratchFolder folder;
  const std::string path = folder.File("RegexHistory.ini");
  InputHistory history(3);
  for (const char* text : {"1", "2", "3", "4", "5"}) history.Confirm(text);
  EXPECT_EQ(history.entries(), (Entries{"5", "4", "3", "2", "1"}));
  ASSERT_TRUE(history.Save(path));
  EXPECT_EQ(ReadBytes(path), "5\r\n4\r\n3\r\n");
}

TEST(InputHistory, LoadKeepsTheFirstLinesAndSaveDropsTheRest) {
  ScratchFolder folder;
  const std::string path = folder.File("RegexHistory.ini");
  std::string fifteen;
  for (int i = 0; i < 15; ++i) fifteen += "e" + std::to_string(i) + "\r\n";
  WriteBytes(path, fifteen);

  InputHistory history(10);
  history.Load(path);
  ASSERT_EQ(history.entries().size(), 10u);
  history.Confirm("new");
  history.Confirm("E3");  // replaces e3
  ASSERT_TRUE(history.Save(path));

  InputHistory reread(10);
  reread.Load(path);
  EXPECT_EQ(reread.entries(),
            (Entries{"E3", "new", "e0", "e1", "e2", "e4", "e5", "e6", "e7", "e8"}));
}

TEST(InputHistory, MissingFileGivesAnEmptyHistory) {
  ScratchFolder folder;
  InputHistory history(10);
  history.Confirm("stale");
  history.Load(folder.File("none.ini"));
  EXPECT_TRUE(history.empty());
}

TEST(InputHistory, AFileThatCouldNotBeReadIsNeverWrittenOver) {
  // Another program held the file at start (here: something that is no file stood in
  // its place); by the exit it is a file again, holding entries this run never saw.
  ScratchFolder folder;
  const std::string path = folder.File("RegexHistory.ini");
  std::filesystem::create_directory(path);
  InputHistory history(10);
  history.Load(path);
  EXPECT_TRUE(history.empty());
  std::filesystem::remove(path);
  WriteBytes(path, "theirs\r\n");
  history.Confirm("mine");
  EXPECT_FALSE(history.Save(path));
  EXPECT_EQ(ReadBytes(path), "theirs\r\n");
}

TEST(InputHistory, AMissingFileIsWrittenAtTheEnd) {
  ScratchFolder folder;
  const std::string path = folder.File("RegexHistory.ini");
  InputHistory history(10);
  history.Load(path);
  history.Confirm("kai");
  EXPECT_TRUE(history.Save(path));
  EXPECT_EQ(ReadBytes(path), "kai\r\n");
}
