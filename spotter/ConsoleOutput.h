// Standard output and error of Spotter's command-line forms. Spotter is a GUI program
// (no console window flashes when the tray menu or Explorer starts it): it writes to the
// standard handles it inherited (a file or pipe, as a script redirects them) and, when
// it has none, to the console of the program that started it. A console shows text
// whatever its code page; a file or pipe gets bytes in the ANSI code page, or in UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/Win32Handles.h"

class ConsoleOutput {
 public:
  explicit ConsoleOutput(bool utf8);
  ConsoleOutput(const ConsoleOutput&) = delete;
  ConsoleOutput& operator=(const ConsoleOutput&) = delete;

  // Text in the ANSI code page (as Kanasift answers).
  void Out(std::string_view ansiText);
  void Out(std::wstring_view text);
  // Messages, to standard error in the same form.
  void Error(std::wstring_view text);
  // Whether messages reach anyone (a file, a pipe or a console).
  bool HasErrorStream() const;

 private:
  struct Stream {
    HANDLE handle = nullptr;
    bool console = false;
  };
  void Write(const Stream& stream, std::wstring_view text);
  static void WriteBytes(const Stream& stream, std::string_view bytes);

  bool utf8_;
  UniqueKernelHandle consoleOut_;  // CONOUT$ of the parent's console, when we attached
  Stream out_;
  Stream err_;
};
