#include <gtest/gtest.h>

#include <string>

#include "search/EscapeChars.h"

namespace {

std::string Write(unsigned int code, int* length) {
  unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  *length = MigemoInt2Char(code, out);
  return std::string(reinterpret_cast<char*>(out), static_cast<size_t>(*length));
}

TEST(MigemoInt2CharTest, WritesDoubleByteEscapedAndPlainCharacters) {
  int n = 0;
  EXPECT_EQ(Write(0x82A0, &n), "\x82\xA0");
  EXPECT_EQ(n, 2);
  EXPECT_EQ(Write('.', &n), "\\.");
  EXPECT_EQ(n, 2);
  EXPECT_EQ(Write('a', &n), "a");
  EXPECT_EQ(n, 1);
  EXPECT_EQ(Write('\\', &n), "\\\\");
  // The same lengths without an output buffer.
  EXPECT_EQ(MigemoInt2Char(0x82A0, nullptr), 2);
  EXPECT_EQ(MigemoInt2Char('.', nullptr), 2);
  EXPECT_EQ(MigemoInt2Char('a', nullptr), 1);
}

TEST(MigemoInt2CharTest, DefaultSetEscapesRegexOperatorsButNotQuestionMarkOrBar) {
  for (char c : std::string("\\.*^$/[]~(){}+")) EXPECT_EQ(MigemoInt2Char(c, nullptr), 2) << c;
  for (char c : std::string("?|-,&'!#%=@_ aZ09")) EXPECT_EQ(MigemoInt2Char(c, nullptr), 1) << c;
  EXPECT_EQ(MigemoInt2Char(0, nullptr), 1);  // the set's terminator is not part of it
  EXPECT_EQ(MigemoInt2Char(0xB1, nullptr), 1);  // half-width ｱ
}

TEST(MigemoInt2CharTest, ScopedSetHoldsForOneQueryThenTheDefaultReturns) {
  {
    ScopedEscapeChars only(".");
    EXPECT_EQ(MigemoInt2Char('.', nullptr), 2);
    EXPECT_EQ(MigemoInt2Char('+', nullptr), 1);
  }
  EXPECT_EQ(CurrentEscapeChars(), kDefaultEscapeChars);
  {
    ScopedEscapeChars none("");
    EXPECT_EQ(MigemoInt2Char('\\', nullptr), 1);
  }
  {
    ScopedEscapeChars defaults(nullptr);
    EXPECT_EQ(CurrentEscapeChars(), kDefaultEscapeChars);
  }
  EXPECT_EQ(MigemoInt2Char('+', nullptr), 2);
}

}  // namespace
