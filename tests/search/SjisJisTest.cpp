#include <gtest/gtest.h>

#include "search/SjisJis.h"
#include "tests/search/SearchTestSupport.h"

namespace {

std::string Fold(const std::string& sjis) { return JisToSjis(SjisToJis(sjis)); }

TEST(SjisToJisTest, AsciiPassesWithoutEscapes) {
  EXPECT_EQ(SjisToJis("abc"), "abc");
  EXPECT_EQ(JisToSjis("abc"), "abc");
}

TEST(SjisToJisTest, HalfWidthKanaBecomesJisAndSwitchesModes) {
  // ｶﾞ: one character with its mark, and no return to ASCII at the end.
  EXPECT_EQ(SjisToJis("\xB6\xDE"), "\x1B$B\x25\x2C");
  EXPECT_EQ(JisToSjis("\x1B$B\x25\x2C"), "\x83\x4B");  // ガ
  // a ｶ b
  EXPECT_EQ(SjisToJis("a\xB6" "b"), "a\x1B$B\x25\x2B\x1B(Bb");
}

TEST(SjisToJisTest, MarksFoldIntoTheirKatakanaOrStandAlone) {
  EXPECT_EQ(SjisToJis("\xCA\xDF"), "\x1B$B\x25\x51");      // ﾊﾟ -> パ
  EXPECT_EQ(Fold("\xCA\xDF"), "\x83\x70");
  EXPECT_EQ(SjisToJis("\xCA" "a"), "\x1B$B\x25\x4F\x1B(Ba");  // ﾊ -> ハ
  EXPECT_EQ(SjisToJis("\xDE"), "\x1B$B\x21\x2B");          // lone ﾞ -> ゛
  EXPECT_EQ(SjisToJis("\xDF"), "\x1B$B\x21\x2C");          // lone ﾟ -> ゜
}

TEST(SjisToJisTest, KatakanaWithoutThatMarkIsWrittenThenTheMark) {
  // ｱﾞ: ア has no voiced form, so ア followed by ゛ (nothing is lost).
  EXPECT_EQ(SjisToJis("\xB1\xDE"), "\x1B$B\x25\x22\x21\x2B");
  EXPECT_EQ(Fold("\xB1\xDE"), Sjis(L"ア゛"));
  EXPECT_EQ(Fold("\xB6\xDF"), Sjis(L"カ゜"));  // ｶﾟ
  HalfWidthKana kana = HalfWidthKanaToJis(0xB1, 0xDE);
  EXPECT_EQ(kana.consumed, 1);
  EXPECT_EQ(kana.code, 0x2522);
}

TEST(SjisToJisTest, HalfWidthKanaToJisReportsWhatItConsumed) {
  EXPECT_EQ(HalfWidthKanaToJis('a', 0).consumed, 0);
  EXPECT_EQ(HalfWidthKanaToJis(0x9F, 0).consumed, 0);
  EXPECT_EQ(HalfWidthKanaToJis(0xE0, 0).consumed, 0);
  HalfWidthKana vu = HalfWidthKanaToJis(0xB3, 0xDE);  // ｳﾞ
  EXPECT_EQ(vu.consumed, 2);
  EXPECT_EQ(vu.code, 0x2574);
  HalfWidthKana po = HalfWidthKanaToJis(0xCE, 0xDF);  // ﾎﾟ
  EXPECT_EQ(po.consumed, 2);
  EXPECT_EQ(po.code, 0x255D);
  HalfWidthKana space = HalfWidthKanaToJis(0xA0, 0);
  EXPECT_EQ(space.consumed, 1);
  EXPECT_EQ(space.code, 0x2121);
}

TEST(SjisToJisTest, HalfWidthNamesComeBackInFullWidth) {
  EXPECT_EQ(Fold(Sjis(L"ﾃｽﾄﾌｧｲﾙ.txt")), Sjis(L"テストファイル.txt"));
  EXPECT_EQ(Fold(Sjis(L"ｳﾞｨｰﾅｽ")), Sjis(L"ヴィーナス"));
  EXPECT_EQ(Fold(Sjis(L"｡｢｣､･ｦ")), Sjis(L"。「」、・ヲ"));
  EXPECT_EQ(Fold(Sjis(L"ｶﾞｷﾞｸﾞｹﾞｺﾞｻﾞｼﾞｽﾞｾﾞｿﾞﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ")),
            Sjis(L"ガギグゲゴザジズゼゾダヂヅデドバビブベボパピプペポ"));
}

TEST(SjisToJisTest, EverySingleHalfWidthByteFoldsToItsFullWidthCharacter) {
  const wchar_t* full =
      L"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
      L"ハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
  for (int c = 0xA1; c <= 0xDF; ++c) {
    std::string one(1, static_cast<char>(c));
    EXPECT_EQ(Fold(one), Sjis(std::wstring(1, full[c - 0xA1]).c_str())) << "byte " << std::hex << c;
  }
}

TEST(SjisToJisTest, EveryDoubleByteCharacterSurvivesTheRoundTrip) {
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      std::string sjis{static_cast<char>(lead), static_cast<char>(trail)};
      std::string jis = SjisToJis(sjis);
      ASSERT_EQ(jis.size(), 5u);
      // Both JIS bytes lie in the 94-character range, so no ESC can appear.
      ASSERT_GE(static_cast<unsigned char>(jis[3]), 0x21);
      ASSERT_GE(static_cast<unsigned char>(jis[4]), 0x21);
      ASSERT_EQ(JisToSjis(jis), sjis) << std::hex << lead << " " << trail;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 60 * 188);
  EXPECT_EQ(Fold("\x93\xFA\x96\x7B"), "\x93\xFA\x96\x7B");  // 日本
  EXPECT_EQ(Fold(Sjis(L"会社の資料 2024.txt")), Sjis(L"会社の資料 2024.txt"));
}

TEST(SjisToJisTest, TruncatedCharactersAreDropped) {
  EXPECT_EQ(SjisToJis("ab\x93"), "ab");                 // trailing lead byte
  EXPECT_EQ(SjisToJis("\x93\xFA\x96"), "\x1B$B\x46\x7C");
  EXPECT_EQ(JisToSjis("\x1B$B\x46\x7C\x46"), "\x93\xFA");  // half a pair at the end
  EXPECT_EQ(JisToSjis("a\x1B"), "a");                   // escape cut short
  EXPECT_EQ(JisToSjis("\x1B$"), "");
}

}  // namespace
