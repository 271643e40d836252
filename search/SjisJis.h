// Folding of item names: Shift_JIS to 7-bit JIS (ISO-2022-JP) and back. JIS has no
// half-width katakana, so the round trip JisToSjis(SjisToJis(name)) turns them (with a
// following voiced or semi-voiced sound mark) into full-width katakana and leaves ASCII
// and double-byte characters as they were. Plain functions on byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One half-width katakana byte `c` (0xA0-0xDF) and the byte after it (0 at the end).
// consumed is 0 when `c` is not half-width katakana, 2 when the following sound mark
// was folded into the character, else 1. code is the JIS X 0208 code, first byte in the
// high half.
struct HalfWidthKana {
  int consumed = 0;
  std::uint16_t code = 0;
};
HalfWidthKana HalfWidthKanaToJis(unsigned char c, unsigned char next);

std::string SjisToJis(std::string_view text);
// For text as SjisToJis writes it.
std::string JisToSjis(std::string_view text);
