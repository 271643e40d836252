// viewprobe.exe: reads and drives a list view or tree view of another process through
// Kanasift's own cross-process operations, for tests and scripts. Output is one
// "key=value ..." line per fact; on item lines the text comes last and runs to the end
// of the line (so it may hold spaces), after an exact hex copy of the bytes.
//
//   viewprobe [--layout 32|64] <command> <view> [args]  [";" <command> <view> [args]]...
//
// <view> is a window handle (0x1A2B or decimal) or find:<class path>, e.g.
// find:CabinetWClass/SHELLDLL_DefView/SysListView32 (see view/WindowPath.h).
// Arguments and output are UTF-8.
// Exit code: 0 done, 1 the view is gone or did not answer, 2 bad command line.
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/viewprobe/Probe.h"

namespace {

// The arguments in UTF-8, whatever the ANSI code page (main's argv would be in it).
std::vector<std::string> Utf8Arguments() {
  std::vector<std::string> args;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return args;
  for (int i = 1; i < argc; ++i) {
    int length = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, &arg[0], length, nullptr, nullptr);
    args.push_back(arg);
  }
  LocalFree(argv);
  return args;
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args = Utf8Arguments();
  ProcessBits layout = ProcessBits::Unknown;
  if (args.size() >= 2 && args[0] == "--layout") {
    layout = args[1] == "32" ? ProcessBits::Bits32 : args[1] == "64" ? ProcessBits::Bits64 : ProcessBits::Unknown;
    if (layout == ProcessBits::Unknown) {
      std::fputs("viewprobe: --layout takes 32 or 64\n", stderr);
      return 2;
    }
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kProbeUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  int result = 0;
  std::vector<std::string> command;
  for (std::size_t i = 0; i <= args.size(); ++i) {
    if (i < args.size() && args[i] != ";") {
      command.push_back(args[i]);
      continue;
    }
    if (command.empty()) continue;
    int code = RunProbeCommand(command, layout);
    std::fflush(stdout);
    if (code > result) result = code;
    if (code == 2) return code;
    command.clear();
  }
  return result;
}
