// ksreliability.exe: the Windows side of the reliability tests. It talks to a running
// Kanasift from another process and measures it from outside.
//
//   ksreliability usage [pid]               handles, GDI/USER objects, memory (default: Kanasift)
//   ksreliability ping <ms>                 a round trip to Kanasift's UI thread; exit 0 if answered
//   ksreliability busy <ms>                 exit 0 while Kanasift's UI thread does not answer in <ms>
//   ksreliability query <text> <ms>         the query service, bounded; prints result, answer, time
//   ksreliability tooltip-text              the input tooltip's text (UTF-8)
//   ksreliability boxes <title>             the number of visible message boxes with that title
//   ksreliability close-boxes <title>       closes them
//   ksreliability lock <file> <ready-file>  holds <file> open with no sharing until killed
//   ksreliability type <view> <text>        queues characters as typed in <view>, as the hook does
//   ksreliability soak <view> <view> [--chars N] [--keys N] [--seed N] [--typing PERCENT] [--sync]
//   ksreliability flood <rounds> <seed> [foreign window]...
//
// Files may be given as Unix paths (/tmp/x is Z:\tmp\x). Text arguments are UTF-8.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Flood.h"
#include "tools/kanasiftprobe/KanasiftWindows.h"
#include "ProcessUsage.h"
#include "Soak.h"
#include "platform/Win32Handles.h"

using namespace probe;
using namespace reliability;

namespace {

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) args.push_back(Utf8(argv[i]));
  if (argv) LocalFree(argv);
  return args;
}

long long Number(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 0); }

HWND WindowOf(const std::string& text) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(Number(text)));
}

std::wstring FilePath(const std::string& text) {
  std::wstring path = Wide(text);
  if (path.empty() || path[0] != L'/') return path;
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return L"Z:" + path;
}

// The query service's answer arrives here.
std::string queryAnswer;
bool queryAnswered = false;
LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    queryAnswer.assign(static_cast<const char*>(data->lpData), data->cbData ? data->cbData - 1 : 0);
    queryAnswered = true;
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int Query(HWND mainWindow, const std::string& text, UINT timeoutMs) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ReplyProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "KsReliabilityReply";
  RegisterClassA(&wc);
  HWND reply = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  std::string request = text + '\0' + "\\.*^$/[]~(){}+" + '\0';
  COPYDATASTRUCT data{0, static_cast<DWORD>(request.size()), request.data()};
  DWORD start = GetTickCount();
  DWORD_PTR result = 0;
  BOOL sent = SendMessageTimeoutA(mainWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(reply),
                                  reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, timeoutMs, &result);
  DWORD elapsed = GetTickCount() - start;
  std::printf("sent=%d result=%lld answered=%d ms=%lu bytes=%zu\n", sent ? 1 : 0, static_cast<long long>(result),
              queryAnswered ? 1 : 0, elapsed, queryAnswer.size());
  DestroyWindow(reply);
  return sent && result && queryAnswered ? 0 : 1;
}

int Lock(const std::string& file, const std::string& readyFile) {
  UniqueKernelHandle held(CreateFileW(FilePath(file).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (held.Get() == INVALID_HANDLE_VALUE || !held) {
    held.Release();
    std::printf("lock: cannot open %s (%lu)\n", file.c_str(), GetLastError());
    return 1;
  }
  UniqueKernelHandle ready(CreateFileW(FilePath(readyFile).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  std::printf("locked %s\n", file.c_str());
  std::fflush(stdout);
  for (;;) Sleep(1000);
}

int Usage() {
  std::fputs("usage: ksreliability usage|ping|busy|query|tooltip-text|boxes|close-boxes|lock|type|soak|flood ...\n", stderr);
  return 2;
}

}  // namespace

int main() {
  std::vector<std::string> args = Arguments();
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  HWND mainWindow = MainWindow();

  if (command == "usage") {
    DWORD pid = args.size() > 1 ? static_cast<DWORD>(Number(args[1])) : ProcessOf(mainWindow);
    ProcessUsage usage = MeasureProcess(pid);
    std::printf("%s\n", Describe(usage).c_str());
    return usage.ok ? 0 : 1;
  }
  if ((command == "ping" || command == "busy") && args.size() == 2) {
    if (!mainWindow) return 3;
    DWORD elapsed = 0;
    bool answered = Ping(mainWindow, static_cast<UINT>(Number(args[1])), elapsed);
    std::printf("answered=%d ms=%lu\n", answered ? 1 : 0, elapsed);
    return (command == "ping") == answered ? 0 : 1;
  }
  if (command == "query" && args.size() == 3) {
    if (!mainWindow) return 3;
    return Query(mainWindow, args[1], static_cast<UINT>(Number(args[2])));
  }
  if (command == "tooltip-text") {
    HWND tooltip = InputTooltip(mainWindow);
    std::wstring text;
    if (!tooltip || !TooltipText(tooltip, text)) return 1;
    std::printf("%s\n", Utf8(text).c_str());
    return 0;
  }
  if ((command == "boxes" || command == "close-boxes") && args.size() == 2) {
    std::wstring title = Wide(args[1]);
    int count = command == "boxes" ? CountBoxes(title.c_str()) : CloseBoxes(title.c_str());
    std::printf("%d\n", count);
    return 0;
  }
  if (command == "lock" && args.size() == 3) return Lock(args[1], args[2]);
  if (command == "type" && args.size() == 3) return TypeInto(WindowOf(args[1]), args[2]) ? 0 : 1;
  if (command == "soak" && args.size() >= 3) {
    SoakOptions options;
    options.views[0] = WindowOf(args[1]);
    options.views[1] = WindowOf(args[2]);
    for (std::size_t i = 3; i < args.size(); ++i) {
      const std::string& a = args[i];
      bool more = i + 1 < args.size();
      if (a == "--chars" && more) options.chars = static_cast<int>(Number(args[++i]));
      else if (a == "--keys" && more) options.keys = static_cast<int>(Number(args[++i]));
      else if (a == "--seed" && more) options.seed = static_cast<unsigned>(Number(args[++i]));
      else if (a == "--typing" && more) options.typingPercent = static_cast<int>(Number(args[++i]));
      else if (a == "--reload-every" && more) options.reloadEvery = static_cast<int>(Number(args[++i]));
      else if (a == "--sync") options.pipelined = false;
      else return Usage();
    }
    int result = RunSoak(options);
    std::fflush(stdout);
    return result;
  }
  if (command == "flood" && args.size() >= 3) {
    FloodOptions options;
    options.rounds = static_cast<int>(Number(args[1]));
    options.seed = static_cast<unsigned>(Number(args[2]));
    for (std::size_t i = 3; i < args.size(); ++i) options.foreignWindows.push_back(WindowOf(args[i]));
    int result = RunFlood(options);
    std::fflush(stdout);
    return result;
  }
  return Usage();
}
