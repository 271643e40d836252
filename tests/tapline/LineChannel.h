// Line-based remote control of a test helper program: commands arrive on standard input,
// one per line, and are handed to the helper's window thread; reports go to standard
// output, one line each, from any thread.
#pragma once

#include <windows.h>

#include <string>
#include <thread>

// Sent (not posted) to the helper's window for each command line: lParam points to the
// line (without its end), valid during the call.
constexpr UINT kCommandMessage = WM_APP + 40;

// Writes one line to standard output at once (printf format).
void Emit(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Reads standard input on a thread of its own and sends each line to `window`; when the
// input ends, posts WM_CLOSE to it.
class CommandReader {
 public:
  explicit CommandReader(HWND window);
  ~CommandReader();
  CommandReader(const CommandReader&) = delete;
  CommandReader& operator=(const CommandReader&) = delete;

 private:
  void Run();
  HWND window_;
  std::thread thread_;
};

// Splits off the first blank-separated word of `line`; the rest (without leading blanks)
// stays in `rest`.
std::string FirstWord(const std::string& line, std::string& rest);

// Hexadecimal text of a window handle, as the helpers print them.
std::string HandleText(const void* handle);
