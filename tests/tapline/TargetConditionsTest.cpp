#include "tapline/TargetConditions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tapline/ClassList.h"
#include "tapline/SharedLayout.h"

namespace tapline {
namespace {

constexpr char kDefaultConditions[] =
    "*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t*\t#32770\tDirectUIHWND\t";

struct Parsed {
  char fields[kConditionBytes];
  std::uint32_t triples = 99;
  bool ok = false;
};

Parsed Parse(const char* text) {
  Parsed parsed;
  std::memset(parsed.fields, 0x5A, sizeof(parsed.fields));
  parsed.ok = ParseTargetConditions(text, parsed.fields, sizeof(parsed.fields), parsed.triples);
  return parsed;
}

bool Matches(const Parsed& parsed, const char* title, const char* topClass, const char* viewClass) {
  return MatchesTargetConditions(parsed.fields, sizeof(parsed.fields), parsed.triples,
                                 TargetWindow{title, topClass, viewClass}, IsCp932LeadByte);
}

bool Glob(const char* pattern, const char* text) { return GlobMatch(pattern, text, IsCp932LeadByte); }

TEST(TargetConditionsTest, DefaultTakesDesktopAndExplorerWindowsWhateverTitleAndView) {
  Parsed parsed = Parse(kDefaultConditions);
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.triples, 4u);
  EXPECT_TRUE(Matches(parsed, "Program Manager", "Progman", "SysListView32"));
  EXPECT_TRUE(Matches(parsed, "C:\\Windows", "ExploreWClass", "SysTreeView32"));
  EXPECT_TRUE(Matches(parsed, "", "CabinetWClass", "SysListView32"));
  EXPECT_TRUE(Matches(parsed, "x", "cabinetwclass", "SysListView32")) << "class names ignore ASCII case";
  EXPECT_FALSE(Matches(parsed, "x", "ExplorerWClass", "SysListView32")) << "Wine's own explorer is not a default";
  EXPECT_FALSE(Matches(parsed, "x", "Notepad", "SysListView32"));
  EXPECT_FALSE(Matches(parsed, "x", "CabinetWClassX", "SysListView32"));
  EXPECT_TRUE(Matches(parsed, "Open", "#32770", "DirectUIHWND")) << "the file pane of a common file dialog";
  EXPECT_FALSE(Matches(parsed, "Settings", "#32770", "SysListView32")) << "not every dialog with a list";
  EXPECT_FALSE(ConditionsNeedTitle(parsed.fields, sizeof(parsed.fields), parsed.triples));
}

TEST(TargetConditionsTest, LastTabMayBeLeftOut) {
  Parsed parsed = Parse("*\tProgman\t*");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.triples, 1u);
  EXPECT_TRUE(Matches(parsed, "t", "Progman", "SysListView32"));
  EXPECT_FALSE(Matches(parsed, "t", "CabinetWClass", "SysListView32"));
}

TEST(TargetConditionsTest, TextThatCannotBeReadIsRefusedAndChangesNothing) {
  const char* bad[] = {
      "*\tProgman\t",                 // two fields
      "*\tProgman\t*\t\t",            // a stray tab makes a fourth, empty field
      "a\tb\tc\td",                   // four fields
      "*\tPro\ngman\t*\t",            // control character
      "*\tProgman\r\t*\t",
  };
  for (const char* text : bad) {
    Parsed parsed = Parse(text);
    EXPECT_FALSE(parsed.ok) << text;
    EXPECT_EQ(parsed.triples, 99u) << text;
    EXPECT_EQ(static_cast<unsigned char>(parsed.fields[0]), 0x5Au) << "output untouched for " << text;
  }
  Parsed nullText = Parse(nullptr);
  EXPECT_FALSE(nullText.ok);
}

TEST(TargetConditionsTest, TextLongerThanTheStoreIsRefused) {
  std::string triple(600, 'a');
  triple += "\t*\t*\t";
  std::string text;
  while (text.size() + triple.size() < kConditionBytes) text += triple;
  EXPECT_TRUE(Parse(text.c_str()).ok) << text.size();
  text += triple;
  EXPECT_FALSE(Parse(text.c_str()).ok) << text.size();
}

TEST(TargetConditionsTest, EmptyTextIsValidAndTargetsNothing) {
  Parsed parsed = Parse("");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.triples, 0u);
  EXPECT_FALSE(Matches(parsed, "t", "CabinetWClass", "SysListView32"));
}

TEST(TargetConditionsTest, TitleAndViewFieldsNarrowTheWindow) {
  Parsed parsed = Parse("Downloads*\tCabinetWClass\t*\t*\tMyApp\tSysTreeView32\t");
  ASSERT_TRUE(parsed.ok);
  EXPECT_TRUE(ConditionsNeedTitle(parsed.fields, sizeof(parsed.fields), parsed.triples));
  EXPECT_TRUE(Matches(parsed, "Downloads - Explorer", "CabinetWClass", "SysListView32"));
  EXPECT_FALSE(Matches(parsed, "Documents", "CabinetWClass", "SysListView32"));
  EXPECT_FALSE(Matches(parsed, nullptr, "CabinetWClass", "SysListView32")) << "no title read: a title field fails";
  EXPECT_TRUE(Matches(parsed, "anything", "MyApp", "SysTreeView32"));
  EXPECT_FALSE(Matches(parsed, "anything", "MyApp", "SysListView32"));
}

TEST(TargetConditionsTest, GlobStarsAndQuestionMarks) {
  EXPECT_TRUE(Glob("*", ""));
  EXPECT_TRUE(Glob("*", "anything"));
  EXPECT_TRUE(Glob("Cab*", "CabinetWClass"));
  EXPECT_TRUE(Glob("*WClass", "CabinetWClass"));
  EXPECT_TRUE(Glob("C*t*s", "CabinetWClass"));
  EXPECT_TRUE(Glob("?abinetWClass", "CabinetWClass"));
  EXPECT_TRUE(Glob("**a**", "a"));
  EXPECT_FALSE(Glob("?", ""));
  EXPECT_FALSE(Glob("", "a"));
  EXPECT_TRUE(Glob("", ""));
  EXPECT_FALSE(Glob("Cab", "CabinetWClass"));
  EXPECT_FALSE(Glob("*Cab", "CabinetWClass"));
  EXPECT_FALSE(Glob("a*b*c", "aXbX"));
}

TEST(TargetConditionsTest, DoubleByteCharactersAreWholeCharacters) {
  const char kaisha[] = "\x89\xEF\x8E\xD0.txt";  // 会社.txt in code page 932
  EXPECT_TRUE(Glob("??.txt", kaisha)) << "one ? per double-byte character";
  EXPECT_FALSE(Glob("???.txt", kaisha));
  EXPECT_TRUE(Glob("\x89\xEF*", kaisha));
  // ア is 83 41: its trail byte is an 'A' but it is no letter, and never folds to 'a'.
  EXPECT_FALSE(Glob("\x83\x61", "\x83\x41"));
  EXPECT_FALSE(Glob("*A", "\x83\x41")) << "a trail byte is not a character of its own";
  EXPECT_FALSE(Glob("*a", "\x83\x41"));
  EXPECT_TRUE(Glob("*\x83\x41", "x\x83\x41"));
}

TEST(ClassListTest, ValidListsConvertToTheFormKanasiftReads) {
  char list[kClassListBytes];
  ASSERT_TRUE(ParseClassList("SysListView32\tMyList\t", list, sizeof(list)));
  EXPECT_TRUE(classlist::Contains("SysListView32", list));
  EXPECT_TRUE(classlist::Contains("mylist", list));
  EXPECT_FALSE(classlist::Contains("SysTreeView32", list));
  EXPECT_FALSE(classlist::Contains("", list));

  // Parsed text and tssToNss of the same text agree, entry for entry.
  char kanasift[64] = "SysListView32\tMyList\t";
  classlist::TabSeparatedToNulSeparated(kanasift);
  EXPECT_EQ(std::memcmp(kanasift, list, std::strlen("SysListView32\tMyList\t") + 2), 0);
}

TEST(ClassListTest, EmptyTextIsAnEmptyList) {
  char list[kClassListBytes];
  ASSERT_TRUE(ParseClassList("", list, sizeof(list)));
  EXPECT_FALSE(classlist::Contains("SysListView32", list));
}

TEST(ClassListTest, ListsThatWouldLoseNamesOrCannotBeStoredAreRefused) {
  char list[kClassListBytes];
  std::memset(list, 0x5A, sizeof(list));
  EXPECT_FALSE(ParseClassList("A\t\tB", list, sizeof(list))) << "B would silently be lost";
  EXPECT_FALSE(ParseClassList("\tA", list, sizeof(list)));
  EXPECT_FALSE(ParseClassList("Sys\nListView32", list, sizeof(list)));
  EXPECT_FALSE(ParseClassList(nullptr, list, sizeof(list)));
  std::string tooLong(kClassListBytes - 1, 'x');
  EXPECT_FALSE(ParseClassList(tooLong.c_str(), list, sizeof(list)));
  EXPECT_EQ(static_cast<unsigned char>(list[0]), 0x5Au) << "a refused list leaves the store alone";
  std::string justFits(kClassListBytes - 2, 'x');
  EXPECT_TRUE(ParseClassList(justFits.c_str(), list, sizeof(list)));
  EXPECT_TRUE(classlist::Contains(justFits.c_str(), list));
}

}  // namespace
}  // namespace tapline
