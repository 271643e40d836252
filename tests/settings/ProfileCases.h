// Read and write cases of the private profile functions, each with the result the
// program relies on. The same table runs against the portable implementation (every
// build) and against the system's own functions (Windows builds); `windows` records
// where the system is known to answer otherwise, and why.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ReadCase {
  const char* name;
  std::string file;  // contents; "<none>" for no file at all
  const char* section;
  const char* key;
  const char* fallback;
  unsigned size;
  std::string expected;
  unsigned expectedCount;
  // What Wine answers instead (value, count) where it differs, and why.
  std::optional<std::string> windows = std::nullopt;
  unsigned windowsCount = 0;
  const char* windowsNote = nullptr;
};

// A literal's bytes, embedded NULs included.
template <size_t N>
std::string Bytes(const char (&data)[N]) {
  return std::string(data, N - 1);
}

inline const std::vector<ReadCase>& ReadCases() {
  static const std::vector<ReadCase> cases = {
      {"plain", "[main]\r\nk=1\r\n", "main", "k", "DEF", 64, "1", 1},
      {"lf line ends", "[main]\nk=1\n", "main", "k", "DEF", 64, "1", 1},
      {"lone cr line ends", "[main]\rk=1\rj=2\r", "main", "j", "DEF", 64, "2", 1},
      {"cr cr lf", "[main]\r\r\nk=1\r\r\n", "main", "k", "DEF", 64, "1", 1},
      {"no final line break", "[main]\r\nk=1", "main", "k", "DEF", 64, "1", 1},
      {"missing file", "<none>", "main", "k", "DEF", 64, "DEF", 3},
      {"missing section", "[other]\r\nk=1\r\n", "main", "k", "DEF", 64, "DEF", 3},
      {"missing key", "[main]\r\nj=1\r\n", "main", "k", "DEF", 64, "DEF", 3},
      {"key of another section", "[a]\r\nk=1\r\n[main]\r\n", "main", "k", "DEF", 64, "DEF", 3},
      {"empty value", "[main]\r\nk=\r\n", "main", "k", "DEF", 64, "", 0},
      {"blank value", "[main]\r\nk=   \r\n", "main", "k", "DEF", 64, "", 0},
      {"blanks in section header", "[ main ]\r\nk=1\r\n", "main", "k", "DEF", 64, "1", 1},
      {"blanks in section asked for", "[main]\r\nk=1\r\n", " main ", "k", "DEF", 64, "1", 1},
      {"tabs in section header", "[\tmain\t]\r\nk=1\r\n", "main", "k", "DEF", 64, "1", 1},
      {"inner blanks of a section", "[ ma in ]\r\nk=1\r\n", "ma in", "k", "DEF", 64, "1", 1},
      {"inner blanks must match", "[ ma in ]\r\nk=1\r\n", "ma  in", "k", "DEF", 64, "DEF", 3},
      {"text after header", "[main] ; note\r\nk=1\r\n", "main", "k", "DEF", 64, "1", 1},
      {"header ends at last bracket", "[ma]in]\r\nk=1\r\n", "ma]in", "k", "DEF", 64, "1", 1},
      {"header without bracket", "[main\r\nk=1\r\n", "main", "k", "DEF", 64, "DEF", 3},
      {"indented header", "  [main]\r\nk=1\r\n", "main", "k", "DEF", 64, "1", 1},
      {"blanks around =", "[main]\r\n  k  =  1 2  \r\n", "main", "k", "DEF", 64, "1 2", 3},
      {"tabs around =", "[main]\r\n\tk\t=\t1\t\r\n", "main", "k", "DEF", 64, "1", 1},
      {"blanks in key asked for", "[main]\r\nk=1\r\n", "main", " k ", "DEF", 64, "1", 1},
      {"names ignore ascii case", "[MAIN]\r\nISUSE=1\r\n", "main", "isuse", "DEF", 64, "1", 1},
      {"double quotes", "[main]\r\nk=\"abc\"\r\n", "main", "k", "DEF", 64, "abc", 3},
      {"single quotes", "[main]\r\nk='abc'\r\n", "main", "k", "DEF", 64, "abc", 3},
      {"open quote", "[main]\r\nk=\"abc\r\n", "main", "k", "DEF", 64, "\"abc", 4},
      {"lone quote", "[main]\r\nk=\"\r\n", "main", "k", "DEF", 64, "\"", 1},
      {"empty quotes", "[main]\r\nk=\"\"\r\n", "main", "k", "DEF", 64, "", 0},
      {"blanks inside quotes", "[main]\r\nk=\" x \"\r\n", "main", "k", "DEF", 64, " x ", 3},
      {"blanks outside quotes", "[main]\r\nk= \"a\" \r\n", "main", "k", "DEF", 64, "a", 1},
      {"unlike quotes", "[main]\r\nk=\"x'\r\n", "main", "k", "DEF", 64, "\"x'", 3},
      {"quoted value cut", "[main]\r\nk=\"abcdef\"\r\n", "main", "k", "DEF", 4, "abc", 3},
      {"quoted value just fits", "[main]\r\nk=\"abcdef\"\r\n", "main", "k", "DEF", 8, "abcdef", 6},
      {"quoted value one short", "[main]\r\nk=\"abcdef\"\r\n", "main", "k", "DEF", 7, "abcdef", 6,
       std::string("abcde"), 5, "Wine drops a character when the buffer is exactly one short of the closing quote"},
      {"name without value hides the key", "[main]\r\nk\r\nk=1\r\n", "main", "k", "DEF", 64, "DEF", 3},
      {"first of two keys", "[main]\r\nk=1\r\nk=2\r\n", "main", "k", "DEF", 64, "1", 1},
      {"only the first section counts", "[main]\r\na=1\r\n[other]\r\n[main]\r\nk=2\r\n", "main", "k", "DEF", 64,
       "DEF", 3},
      {"first of two sections", "[main]\r\nk=1\r\n[main]\r\nk=2\r\n", "main", "k", "DEF", 64, "1", 1},
      {"empty key name", "[main]\r\n=1\r\n", "main", "", "DEF", 64, "1", 1},
      {"entries before any header", "k=1\r\n[main]\r\n", "", "k", "DEF", 64, "1", 1},
      {"empty header is a second empty section", "[]\r\nk=1\r\n", "", "k", "DEF", 64, "DEF", 3},
      {"fallback loses trailing spaces", "[main]\r\n", "main", "k", "abc  ", 64, "abc", 3},
      {"fallback loses quotes", "[main]\r\n", "main", "k", "\"abc\"", 64, "abc", 3},
      {"fallback loses quotes without a file", "<none>", "main", "k", "\"abc\"", 64, "abc", 3},
      {"null fallback", "[main]\r\n", "main", "k", nullptr, 64, "", 0},
      {"value cut to size - 1", "[main]\r\nk=abcdefghij\r\n", "main", "k", "DEF", 5, "abcd", 4},
      {"fallback cut to size - 1", "[main]\r\n", "main", "k", "abcdefghij", 5, "abcd", 4},
      {"size 1", "[main]\r\nk=abc\r\n", "main", "k", "DEF", 1, "", 0},
      {"comment line", "[main]\r\n;k=1\r\n", "main", "k", "DEF", 64, "DEF", 3},
      {"comment line is an entry", "[main]\r\n;k=1\r\n", "main", ";k", "DEF", 64, "1", 1},
      {"hash is no comment", "[main]\r\n#k=1\r\n", "main", "#k", "DEF", 64, "1", 1},
      {"trailing blanks of a value", "[main]\r\nk= 1 \t \r\n", "main", "k", "DEF", 64, "1", 1},
      {"ctrl-z is a blank", "[main]\r\nk=1\x1a\r\n", "main", "k", "DEF", 64, "1", 1},
      {"vt and ff are blanks", "[main]\r\nk=\v\fx\v\f\r\n", "main", "k", "DEF", 64, "x", 1},
      {"ideographic space is text", "[main]\r\nk=\x81\x40x\x81\x40\r\n", "main", "k", "DEF", 64,
       "\x81\x40x\x81\x40", 5},
      {"utf-8 byte order mark", "\xEF\xBB\xBF[main]\r\nk=1\r\n", "main", "k", "DEF", 64, "1", 1},
      {"utf-8 text is not converted", "\xEF\xBB\xBF[main]\r\nk=\xE4\xBC\x9A\r\n", "main", "k", "DEF", 64,
       "\xE4\xBC\x9A", 3, std::string("\x89\xEF"), 2, "Wine converts a file with a UTF-8 mark to the ANSI code page"},
      {"utf-16 file", Bytes("\xff\xfe[\0m\0]\0\r\0\n\0k\0=\0" "1\0\r\0\n\0"), "m", "k", "DEF", 64, "DEF", 3,
       std::string("1"), 1, "Wine reads UTF-16 files; the portable reader leaves them alone"},
      {"binary after a utf-16 mark", Bytes("\xff\xfe\x00\x01[main]\r\nk=1\r\n"), "main", "k", "DEF", 64, "DEF",
       3},
      {"nul ends a value", Bytes("[main]\r\nk=a\0b\r\n"), "main", "k", "DEF", 64, "a", 1},
      {"nul ends a name", Bytes("[main]\r\n\0\0=1\r\nk=2\r\n"), "main", "", "DEF", 64, "1", 1},
      {"nul in another line", Bytes("[main]\r\nx\0=1\r\nk=2\r\n"), "main", "k", "DEF", 64, "2", 1},
      {"shift_jis value", "[main]\r\nk=\x89\xEF\x8E\xD0\r\n", "main", "k", "DEF", 64, "\x89\xEF\x8E\xD0", 4},
      {"shift_jis character not cut", "[main]\r\nk=\x89\xEF\x8E\xD0\r\n", "main", "k", "DEF", 4, "\x89\xEF", 2,
       std::string("\x89\xEF#"), 3, "Wine reports 3 bytes but leaves the third unwritten (the test's fill byte)"},
      {"full-width letters keep case", "[main]\r\n\x82\x60=1\r\n", "main", "\x82\x81", "DEF", 64, "DEF", 3},
      {"trail byte is no letter", "[main]\r\n\x82\x61=1\r\n", "main", "\x82\x41", "DEF", 64, "DEF", 3},
      {"trail byte backslash", "[main]\r\n\x95\x5c=1\r\n", "main", "\x95\x5c", "DEF", 64, "1", 1},
      {"katakana keeps case", "[main]\r\n\xc9=1\r\n", "main", "\xe9", "DEF", 64, "DEF", 3},
      {"= inside a value", "[main]\r\nk=a=b\r\n", "main", "k", "DEF", 64, "a=b", 3},
      {"= ends a name", "[main]\r\nk=a=b\r\n", "main", "k=a", "DEF", 64, "DEF", 3},
      {"sentinel as a value", "[main]\r\nk=mokemokehogehoge\r\n", "main", "k", "mokemokehogehoge", 64,
       "mokemokehogehoge", 16},
      {"long line before", "[main]\r\nk=" + std::string(5000, 'x') + "y\r\nj=2\r\n", "main", "j", "DEF", 64, "2", 1},
      {"long value cut", "[main]\r\nk=" + std::string(5000, 'x') + "\r\n", "main", "k", "DEF", 64,
       std::string(63, 'x'), 63},
  };
  return cases;
}

struct WriteCase {
  const char* name;
  std::string file;  // "<none>" for no file
  const char* section;
  const char* key;
  const char* value;
  bool expectedResult;
  std::string expectedFile;  // exact bytes the portable writer leaves
  // Where Wine's result differs (its file is compared by reading it back).
  std::optional<bool> windowsResult = std::nullopt;
  const char* windowsNote = nullptr;
};

inline const std::vector<WriteCase>& WriteCases() {
  static const std::vector<WriteCase> cases = {
      {"new file", "<none>", "main", "k", "1", true, "[main]\r\nk=1\r\n"},
      {"replace", "[main]\r\nk=1\r\n", "main", "k", "2", true, "[main]\r\nk=2\r\n"},
      {"replace keeps spelling and spacing", "[main]\r\n  K = 1 \r\n", "main", "k", "2", true,
       "[main]\r\n  K = 2\r\n"},
      {"replace in another case", "[MAIN]\r\nIsUse=1\r\n", "main", "isuse", "0", true, "[MAIN]\r\nIsUse=0\r\n"},
      {"add key before blank line", "[main]\r\na=1\r\n\r\n[b]\r\nc=1\r\n", "main", "k", "2", true,
       "[main]\r\na=1\r\nk=2\r\n\r\n[b]\r\nc=1\r\n"},
      {"add key to empty section", "[main]\r\n[b]\r\n", "main", "k", "2", true, "[main]\r\nk=2\r\n[b]\r\n"},
      {"add key after unterminated line", "[main]\r\na=1", "main", "k", "2", true, "[main]\r\na=1\r\nk=2\r\n"},
      {"add section", "[a]\r\nx=1\r\n", "main", "k", "2", true, "[a]\r\nx=1\r\n\r\n[main]\r\nk=2\r\n"},
      {"add section after unterminated line", "[a]\r\nx=1", "main", "k", "2", true,
       "[a]\r\nx=1\r\n\r\n[main]\r\nk=2\r\n"},
      {"add section to blank file", "\r\n\r\n", "main", "k", "1", true, "\r\n\r\n[main]\r\nk=1\r\n"},
      {"comments and junk kept", "; top\r\n\r\n[main]\r\n; c\r\nk=1\r\njunk line\r\n", "main", "k", "2", true,
       "; top\r\n\r\n[main]\r\n; c\r\nk=2\r\njunk line\r\n"},
      {"lf file stays lf", "[main]\na=1\n", "main", "k", "2", true, "[main]\na=1\nk=2\n"},
      {"lone cr file stays cr", "[main]\rk=1\r", "main", "j", "2", true, "[main]\rk=1\rj=2\r"},
      {"mixed breaks never join", "[main]\ra=1\n\n[b]\r", "main", "k", "2", true, "[main]\ra=1\nk=2\r\n\n[b]\r"},
      {"removal keeps mixed breaks apart", "[main]\ra=1\rk=1\n\nb=2\n", "main", "k", nullptr, true,
       "[main]\ra=1\r\n\nb=2\n"},
      {"leading blanks of a value dropped", "[main]\r\n", "main", "k", "  x  ", true, "[main]\r\nk=x  \r\n"},
      {"blank value", "[main]\r\n", "main", "k", "   ", true, "[main]\r\nk=\r\n"},
      {"empty value", "[main]\r\nk=1\r\n", "main", "k", "", true, "[main]\r\nk=\r\n"},
      {"quoted value", "[main]\r\n", "main", "k", "\"q\"", true, "[main]\r\nk=\"q\"\r\n"},
      {"blanks around key", "[main]\r\n", "main", " k ", "1", true, "[main]\r\nk=1\r\n"},
      {"blanks around section", "<none>", " main ", "k", "1", true, "[main]\r\nk=1\r\n"},
      {"name without value gets one", "[main]\r\nk\r\n", "main", "k", "1", true, "[main]\r\nk=1\r\n"},
      {"null value removes the key", "[main]\r\na=1\r\nk=1\r\nb=2\r\n", "main", "k", nullptr, true,
       "[main]\r\na=1\r\nb=2\r\n"},
      {"null key removes the section", "[x]\r\ny=1\r\n[main]\r\na=1\r\nk=1\r\n[z]\r\n", "main", nullptr, nullptr,
       true, "[x]\r\ny=1\r\n[z]\r\n"},
      {"removing a missing key", "[main]\r\na=1\r\n", "main", "k", nullptr, true, "[main]\r\na=1\r\n"},
      {"empty key name", "[main]\r\n", "main", "", "1", true, "[main]\r\n=1\r\n"},
      {"first of two sections", "[main]\r\na=1\r\n[main]\r\nk=1\r\n", "main", "k", "2", true,
       "[main]\r\na=1\r\nk=2\r\n[main]\r\nk=1\r\n"},
      {"same value", "[main]\r\nk=1\r\n", "main", "k", "1", true, "[main]\r\nk=1\r\n"},
      {"byte order mark kept", "\xEF\xBB\xBF[main]\r\nk=1\r\n", "main", "k", "2", true,
       "\xEF\xBB\xBF[main]\r\nk=2\r\n"},
      {"entries before any header", "k=1\r\n[main]\r\n", "", "k", "2", true, "k=2\r\n[main]\r\n"},
      {"new entry before any header", "[main]\r\n", "", "k", "2", true, "k=2\r\n[main]\r\n"},
      {"shift_jis names and values", "[main]\r\n", "main", "\x89\xEF", "\x8E\xD0", true,
       "[main]\r\n\x89\xEF=\x8E\xD0\r\n"},
      {"binary lines kept", Bytes("\x01\x02\xff\r\n[main]\r\n\0\0=\x80\r\nk=1\r\n\xfe\xfd"), "main", "k", "2",
       true, Bytes("\x01\x02\xff\r\n[main]\r\n\0\0=\x80\r\nk=2\r\n\xfe\xfd")},
      {"line break in value refused", "[main]\r\n", "main", "k", "a\r\nb=c", false, "[main]\r\n", true,
       "Wine writes the line break and so adds an entry b=c"},
      {"= in key refused", "[main]\r\n", "main", "a=b", "1", false, "[main]\r\n", true,
       "Wine writes a=b=1, which reads back as key a"},
      {"bracket key refused", "[main]\r\n", "main", "[x]", "1", false, "[main]\r\n", true,
       "Wine writes [x]=1, which reads back as a section header"},
      {"utf-16 file left alone", Bytes("\xff\xfe[\0m\0]\0\r\0\n\0"), "m", "k", "1", false,
       Bytes("\xff\xfe[\0m\0]\0\r\0\n\0"), true, "Wine writes UTF-16 files in UTF-16"},
  };
  return cases;
}
