// Native implementation of the platform services. Text is Shift_JIS as Windows code
// page 932 (glibc's "CP932"), so that native tests see the bytes Windows would.
#include "platform/Platform.h"

#include <iconv.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cwctype>
#include <locale>
#include <mutex>
#include <vector>

#include "platform/PortableProfile.h"

namespace platform {
namespace {

// iconv descriptors are not thread-safe; each conversion opens its own.
template <typename Out>
Out Convert(const char* to, const char* from, const char* data, size_t bytes) {
  Out out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  std::vector<char> buffer(bytes * 4 + 16);
  char* in = const_cast<char*>(data);
  size_t inLeft = bytes;
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    size_t produced = buffer.size() - outLeft;
    out.append(reinterpret_cast<const typename Out::value_type*>(buffer.data()),
               produced / sizeof(typename Out::value_type));
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // An invalid or incomplete sequence: Windows turns it into a default character
      // and goes on; do the same with one byte at a time.
      if constexpr (sizeof(typename Out::value_type) == sizeof(wchar_t)) {
        out.push_back(L'\x30fb');
      } else {
        out.push_back('?');
      }
      in += 1;
      inLeft -= 1;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

const char* WideCode() { return sizeof(wchar_t) == 4 ? "UTF-32LE" : "UTF-16LE"; }

}  // namespace

std::wstring AnsiToWide(std::string_view text) {
  return Convert<std::wstring>(WideCode(), "CP932", text.data(), text.size());
}

std::string WideToAnsi(std::wstring_view text) {
  return Convert<std::string>("CP932", WideCode(), reinterpret_cast<const char*>(text.data()),
                              text.size() * sizeof(wchar_t));
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

bool IsCharAlpha(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return c >= 0xA6 && c <= 0xDF;  // half-width katakana letters and marks count as letters
}

bool IsCharLower(unsigned char c) { return c >= 'a' && c <= 'z'; }

const char* CharNext(const char* p) {
  if (*p == '\0') return p;
  if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') return p + 2;
  return p + 1;
}

wchar_t ToLowerWide(wchar_t c) {
  static const std::locale utf8 = [] {
    try {
      return std::locale("C.UTF-8");
    } catch (...) {
      return std::locale::classic();
    }
  }();
  return std::use_facet<std::ctype<wchar_t>>(utf8).tolower(c);
}

std::uint32_t TickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::size_t ReadProfileString(const char* section, const char* key, const char* fallback,
                              char* buffer, std::size_t size, const char* path) {
  return portable_profile::ReadString(section, key, fallback, buffer, size, path);
}

bool WriteProfileString(const char* section, const char* key, const char* value, const char* path) {
  return portable_profile::WriteString(section, key, value, path);
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

bool ReplaceFile(const std::string& source, const std::string& target) {
  return std::rename(source.c_str(), target.c_str()) == 0;
}

}  // namespace platform
