// Shift_JIS / JIS folding on arbitrary bytes: never reads outside the text, and the
// round trip gives back any text made of ASCII and valid double-byte characters, and
// turns half-width katakana into whole double-byte characters.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "search/SjisJis.h"

namespace {

// ASCII (without NUL and ESC) and valid double-byte characters built from the bytes.
std::string ValidSjis(const std::uint8_t* data, std::size_t size) {
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    std::uint8_t b = data[i];
    if (b < 0x80) {
      if (b != 0 && b != 0x1B) out.push_back(static_cast<char>(b));
      continue;
    }
    unsigned lead = 0x81 + (b % 60);
    if (lead > 0x9F) lead += 0x40;  // 0xE0-0xFC
    unsigned trail = 0x40 + (i + 1 < size ? data[++i] % 188 : 0);
    if (trail >= 0x7F) trail += 1;
    out.push_back(static_cast<char>(lead));
    out.push_back(static_cast<char>(trail));
  }
  return out;
}

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string jis = SjisToJis(bytes);
  JisToSjis(jis);
  JisToSjis(bytes);  // bytes that SjisToJis never wrote
  for (std::size_t i = 0; i < size; ++i) {
    HalfWidthKana kana = HalfWidthKanaToJis(data[i], i + 1 < size ? data[i + 1] : 0);
    if (kana.consumed > 2 || (kana.consumed == 2 && i + 1 >= size)) std::abort();
  }

  std::string valid = ValidSjis(data, size);
  if (JisToSjis(SjisToJis(valid)) != valid) std::abort();

  // Half-width katakana only: every character comes back as one full-width character.
  std::string kana;
  for (std::size_t i = 0; i < size; ++i) kana.push_back(static_cast<char>(0xA1 + data[i] % 63));
  std::string folded = JisToSjis(SjisToJis(kana));
  if (folded.size() % 2 != 0 || folded.size() > kana.size() * 2) std::abort();
  for (std::size_t i = 0; i < folded.size(); i += 2) {
    if (!IsLead(static_cast<unsigned char>(folded[i]))) std::abort();
  }
  return 0;
}
