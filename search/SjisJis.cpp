#include "search/SjisJis.h"

namespace {

constexpr char kEsc = 0x1B;

// JIS codes of the half-width bytes 0xA0-0xDF.
constexpr std::uint16_t kSingle[64] = {
    0x2121, 0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521,  // A0-A7
    0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543,  // A8-AF
    0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D,  // B0-B7
    0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D,  // B8-BF
    0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C,  // C0-C7
    0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E,  // C8-CF
    0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,  // D0-D7
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,  // D8-DF
};

struct MarkEntry {
  unsigned char kana;
  std::uint16_t code;
};

// Both tables end with a record whose byte is 0.
constexpr MarkEntry kVoiced[] = {
    {0xB3, 0x2574},                                                                // ｳﾞ
    {0xB6, 0x252C}, {0xB7, 0x252E}, {0xB8, 0x2530}, {0xB9, 0x2532}, {0xBA, 0x2534},  // ｶﾞ-ｺﾞ
    {0xBB, 0x2536}, {0xBC, 0x2538}, {0xBD, 0x253A}, {0xBE, 0x253C}, {0xBF, 0x253E},  // ｻﾞ-ｿﾞ
    {0xC0, 0x2540}, {0xC1, 0x2542}, {0xC2, 0x2545}, {0xC3, 0x2547}, {0xC4, 0x2549},  // ﾀﾞ-ﾄﾞ
    {0xCA, 0x2550}, {0xCB, 0x2553}, {0xCC, 0x2556}, {0xCD, 0x2559}, {0xCE, 0x255C},  // ﾊﾞ-ﾎﾞ
    {0, 0},
};

constexpr MarkEntry kSemiVoiced[] = {
    {0xCA, 0x2551}, {0xCB, 0x2554}, {0xCC, 0x2557}, {0xCD, 0x255A}, {0xCE, 0x255D},  // ﾊﾟ-ﾎﾟ
    {0, 0},
};

constexpr unsigned char kVoicedMark = 0xDE;
constexpr unsigned char kSemiVoicedMark = 0xDF;

bool FindMarked(const MarkEntry* table, unsigned char kana, std::uint16_t& code) {
  for (; table->kana != 0; ++table) {
    if (table->kana == kana) {
      code = table->code;
      return true;
    }
  }
  return false;
}

unsigned char Byte(std::string_view text, size_t i) { return static_cast<unsigned char>(text[i]); }

void AppendPair(std::string& out, unsigned a, unsigned b) {
  out.push_back(static_cast<char>(a & 0xFF));
  out.push_back(static_cast<char>(b & 0xFF));
}

}  // namespace

HalfWidthKana HalfWidthKanaToJis(unsigned char c, unsigned char next) {
  if (c < 0xA0 || c > 0xDF) return {};
  std::uint16_t code = 0;
  if (next == kVoicedMark && FindMarked(kVoiced, c, code)) return {2, code};
  if (next == kSemiVoicedMark && FindMarked(kSemiVoiced, c, code)) return {2, code};
  // A katakana that takes no such mark (ｱﾞ) stands as itself; the mark that follows is
  // then written on its own.
  return {1, kSingle[c - 0xA0]};
}

std::string SjisToJis(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2 + 8);
  bool twoByte = false;
  auto enterTwoByte = [&] {
    if (!twoByte) {
      out += "\x1B$B";
      twoByte = true;
    }
  };
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = Byte(text, i);
    if (c >= 0xA1 && c <= 0xDF) {
      enterTwoByte();
      unsigned char next = i + 1 < text.size() ? Byte(text, i + 1) : 0;
      HalfWidthKana kana = HalfWidthKanaToJis(c, next);
      if (kana.consumed != 0) AppendPair(out, kana.code >> 8, kana.code);
      i += kana.consumed == 2 ? 2 : 1;
    } else if (c >= 0x80) {
      if (i + 1 >= text.size()) break;  // a lone lead byte at the end is dropped
      unsigned t = Byte(text, i + 1);
      enterTwoByte();
      unsigned lead = c;
      if (lead >= 0xE0) lead -= 0x40;
      if (t >= 0x80) t -= 1;
      lead = ((lead - 0x70) * 2) & 0xFF;
      if (t >= 0x9E) {
        t -= 0x7D;
      } else {
        lead = (lead - 1) & 0xFF;
        t = (t - 0x1F) & 0xFF;
      }
      AppendPair(out, lead, t);
      i += 2;
    } else {
      if (twoByte) {
        out += "\x1B(B";
        twoByte = false;
      }
      out.push_back(static_cast<char>(c));
      i += 1;
    }
  }
  return out;
}

std::string JisToSjis(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool twoByte = false;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char b = Byte(text, i);
    if (b == kEsc) {
      twoByte = !twoByte;  // whichever sequence it is
      i += 3;
    } else if (twoByte) {
      if (i + 1 >= text.size()) break;  // half a pair at the end is dropped
      unsigned t = Byte(text, i + 1);
      unsigned c;
      if (b & 1) {
        c = ((b + 1) & 0xFF) / 2 + 0x70;
        t = (t + 0x1F) & 0xFF;
      } else {
        c = b / 2 + 0x70;
        t = (t + 0x7D) & 0xFF;
      }
      c &= 0xFF;
      if (c >= 0xA0) c += 0x40;
      if (t >= 0x7F) t += 1;
      AppendPair(out, c, t);
      i += 2;
    } else {
      out.push_back(static_cast<char>(b));
      i += 1;
    }
  }
  return out;
}
