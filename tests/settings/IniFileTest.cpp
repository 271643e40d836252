// IniFile: missing versus empty, integer and colour conversion, writes, and files that
// are missing, unwritable or full of garbage.
#include <gtest/gtest.h>

#include <climits>

#include "settings/IniFile.h"
#include "tests/settings/TempDir.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override { path = dir.file("Kanasift.ini"); }
  IniFile& open(const std::string& contents) {
    WriteBytes(path, contents);
    file.setPath(path.c_str());
    return file;
  }

  TempDir dir;
  std::string path;
  IniFile file;
};

TEST_F(IniFileTest, EmptyValueIsPresent) {
  open("[main]\r\nIsUse=\r\n");
  std::string text = "untouched";
  EXPECT_TRUE(file.readString("main", "IsUse", text));
  EXPECT_EQ(text, "");
  std::int32_t number = 77;
  EXPECT_TRUE(file.readInt("main", "IsUse", number));
  EXPECT_EQ(number, 0);
}

TEST_F(IniFileTest, MissingKeyAndMissingFileLeaveOutputs) {
  open("[main]\r\nOther=5\r\n");
  std::string text = "keep";
  std::int32_t number = 42;
  ColorRef color = 0x123456;
  EXPECT_FALSE(file.readString("main", "DictPath", text));
  EXPECT_FALSE(file.readInt("main", "DictAliveTime", number));
  EXPECT_FALSE(file.readColor("main", "TooltipExpiredColor", color));
  EXPECT_FALSE(file.readInt("other", "Other", number));
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(number, 42);
  EXPECT_EQ(color, 0x123456u);

  IniFile missing(dir.file("absent.ini").c_str());
  EXPECT_FALSE(missing.readString("main", "Other", text));
  EXPECT_FALSE(missing.readInt("main", "Other", number));
  EXPECT_EQ(text, "keep");
  EXPECT_EQ(number, 42);
}

TEST_F(IniFileTest, SentinelReadsAsMissing) {
  open("[main]\r\nDictPath=mokemokehogehoge\r\nNear=mokemokehogehog\r\n");
  std::string text = "keep";
  EXPECT_FALSE(file.readString("main", "DictPath", text));
  EXPECT_EQ(text, "keep");
  EXPECT_TRUE(file.readString("main", "Near", text));
  EXPECT_EQ(text, "mokemokehogehog");
}

TEST_F(IniFileTest, IntegersAsAtoiReadsThem) {
  open("[main]\r\nA=abc\r\nB=  -17xyz\r\nC=+8\r\nD=12 34\r\nE=0x10\r\nF=99999999999\r\nG=-99999999999\r\n"
       "H=2147483647\r\nI=-2147483648\r\nJ=- 5\r\nK=\t\t9\r\n");
  auto read = [&](const char* key) {
    std::int32_t value = 12345;
    EXPECT_TRUE(file.readInt("main", key, value)) << key;
    return value;
  };
  EXPECT_EQ(read("A"), 0);  // present, so the caller's default is not used
  EXPECT_EQ(read("B"), -17);
  EXPECT_EQ(read("C"), 8);
  EXPECT_EQ(read("D"), 12);
  EXPECT_EQ(read("E"), 0);
  EXPECT_EQ(read("F"), INT32_MAX);
  EXPECT_EQ(read("G"), INT32_MIN);
  EXPECT_EQ(read("H"), INT32_MAX);
  EXPECT_EQ(read("I"), INT32_MIN);
  EXPECT_EQ(read("J"), 0);
  EXPECT_EQ(read("K"), 9);
}

TEST_F(IniFileTest, ColoursRedFirst) {
  open("[main]\r\nRed=FF0000\r\nBlue=0000FF\r\nGreen=00FF00\r\nLower=ff8000\r\nUpper=FF8000\r\n"
       "Hash=#0000FF\r\nLong=123456789\r\nOdd=1G2H3I\r\nMinus=-1-1-1\r\n");
  auto read = [&](const char* key) {
    ColorRef value = 0xDEADBEEF;
    EXPECT_TRUE(file.readColor("main", key, value)) << key;
    return value;
  };
  EXPECT_EQ(read("Red"), 0x000000FFu);
  EXPECT_EQ(read("Blue"), 0x00FF0000u);
  EXPECT_EQ(read("Green"), 0x0000FF00u);
  EXPECT_EQ(read("Lower"), 0x000080FFu);
  EXPECT_EQ(read("Lower"), read("Upper"));
  EXPECT_EQ(read("Hash"), 0x000F0000u);  // pairs "#0", "00", "0F"
  EXPECT_EQ(read("Long"), 0x00563412u);  // characters after the sixth ignored
  EXPECT_EQ(read("Odd"), 0x00030201u);   // each pair as strtoul reads it
  EXPECT_EQ(read("Minus"), 0x00FFFFFFu); // strtoul("-1") wraps; its low byte is kept
}

TEST_F(IniFileTest, ShortColourIsRefused) {
  open("[main]\r\nFive=FF00F\r\nEmpty=\r\nThree=0F0\r\n");
  for (const char* key : {"Five", "Empty", "Three", "Missing"}) {
    ColorRef value = 0xABCDEF;
    EXPECT_FALSE(file.readColor("main", key, value)) << key;
    EXPECT_EQ(value, 0xABCDEFu) << key;
  }
}

TEST_F(IniFileTest, WritesReadBack) {
  open("");
  EXPECT_TRUE(file.writeInt("main", "Neg", -5));
  EXPECT_TRUE(file.writeInt("main", "True", true));
  EXPECT_TRUE(file.writeInt("main", "False", false));
  EXPECT_TRUE(file.writeInt("main", "Min", INT32_MIN));
  EXPECT_TRUE(file.writeString("main", "Text", "\x89\xEF\x8E\xD0 and more"));
  std::string text;
  EXPECT_TRUE(file.readString("main", "Neg", text));
  EXPECT_EQ(text, "-5");
  EXPECT_TRUE(file.readString("main", "True", text));
  EXPECT_EQ(text, "1");
  EXPECT_TRUE(file.readString("main", "False", text));
  EXPECT_EQ(text, "0");
  std::int32_t number = 0;
  EXPECT_TRUE(file.readInt("main", "Min", number));
  EXPECT_EQ(number, INT32_MIN);
  EXPECT_TRUE(file.readString("main", "Text", text));
  EXPECT_EQ(text, "\x89\xEF\x8E\xD0 and more");
}

TEST_F(IniFileTest, LongValuesCutTo1023Bytes) {
  std::string value(5000, 'a');
  open("[main]\r\nLong=" + value + "\r\nAfter=1\r\n");
  std::string text;
  EXPECT_TRUE(file.readString("main", "Long", text));
  EXPECT_EQ(text, std::string(1023, 'a'));
  std::int32_t number = 0;
  EXPECT_TRUE(file.readInt("main", "After", number));
  EXPECT_EQ(number, 1);
}

TEST_F(IniFileTest, GarbageNeverLosesOtherLines) {
  std::string garbage;
  for (int i = 0; i < 256; ++i) garbage += static_cast<char>(i);
  std::string before = garbage + "\r\n[main]\r\n" + garbage + "=" + garbage + "\r\nIsUse=1\r\n" + garbage;
  open(before);
  std::int32_t number = 5;
  EXPECT_TRUE(file.readInt("main", "IsUse", number));
  EXPECT_EQ(number, 1);
  ASSERT_TRUE(file.writeInt("main", "IsUse", 0));
  std::string after = ReadBytes(path);
  // Windows may lay the file out anew; the other lines' text must survive either way.
  EXPECT_NE(after.find("\r\n[main]\r\n"), std::string::npos);
  EXPECT_TRUE(file.readInt("main", "IsUse", number));
  EXPECT_EQ(number, 0);
#ifndef _WIN32
  std::string expected = before;
  expected.replace(expected.find("IsUse=1"), 7, "IsUse=0");
  EXPECT_EQ(after, expected);
#endif
}

TEST_F(IniFileTest, NoPathMeansNoFile) {
  IniFile none;
  EXPECT_FALSE(none.hasPath());
  EXPECT_EQ(none.path(), "");
  std::string text = "keep";
  EXPECT_FALSE(none.readString("windows", "load", text));
  EXPECT_FALSE(none.writeString("main", "IsUse", "1"));
  EXPECT_EQ(text, "keep");
  none.setPath(path.c_str());
  EXPECT_TRUE(none.writeInt("main", "IsUse", 1));
  none.setPath(nullptr);
  EXPECT_FALSE(none.readString("main", "IsUse", text));
}

TEST_F(IniFileTest, MissingFolderWriteFails) {
  IniFile nowhere(dir.file("missing-folder/Kanasift.ini").c_str());
  EXPECT_FALSE(nowhere.writeInt("main", "IsUse", 1));
  std::int32_t number = 9;
  EXPECT_FALSE(nowhere.readInt("main", "IsUse", number));
  EXPECT_EQ(number, 9);
}

TEST_F(IniFileTest, ReadOnlyFileWriteFails) {
  const std::string original = "[main]\r\nIsUse=1\r\n; hand-written note\r\n";
  open(original);
  // Also where the system would let a privileged user write it (Wine run as root).
  MakeReadOnly(path);
  EXPECT_FALSE(file.writeInt("main", "IsUse", 0));
  EXPECT_EQ(ReadBytes(path), original);
  std::int32_t number = 0;
  EXPECT_TRUE(file.readInt("main", "IsUse", number));
  EXPECT_EQ(number, 1);
}

}  // namespace
