// A helper for the Spotter scenarios: looks at Spotter's window from another process, as
// a screen reader would, and sends the running Kanasift requests that no well-behaved
// client sends.
//
//   SpotterProbe state                  Spotter's title, input, check box, folder, number
//                                       of results, selected row, status and progress
//                                       lines, the screen rectangles of its input and
//                                       of the list's header, the columns' right edges
//                                       (the results themselves: viewprobe texts)
//   SpotterProbe set-input <text>       WM_SETTEXT on Spotter's input
//   SpotterProbe ping <ms>              WM_NULL to Spotter every 10 ms for that long, from
//                                       its first answer on (its creation aside): how
//                                       many, the slowest answer, how many took 100 ms+
//                                       while the machine was not stalled (see Ping)
//   SpotterProbe clipboard              the clipboard's text
//   SpotterProbe window <class>         exit 0 while a top-level window of that class exists
//   SpotterProbe close <class>          WM_CLOSE to every such window
//   SpotterProbe tray                   exit 0 while Kanasift's tray icon is shown
//   SpotterProbe stop-kanasift          Kanasift's exit command (WM_COMMAND 1011)
//   SpotterProbe kanasift-command <id>  posts a tray command (WM_COMMAND id) to Kanasift
//   SpotterProbe rect <hwnd>            the window's rectangle on the screen
//   SpotterProbe hostile                malformed requests to Kanasift's query service,
//                                       one line per case (see RunHostile)
//
// Output is UTF-8, one "key value" per line.
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kSpotterClass[] = "KanasiftSpotter";
constexpr int kInputId = 202;    // IDC_INPUT
constexpr int kPartialId = 203;  // IDC_PARTIAL
constexpr int kFolderId = 204;   // IDC_FOLDER
constexpr int kListId = 205;     // IDC_LIST
constexpr int kStatusId = 206;   // IDC_STATUS
constexpr int kProgressId = 208; // IDC_PROGRESS

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[2048] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                      &ignored);
  return buffer;
}

void Line(const char* key, const std::string& value) { std::printf("%s %s\n", key, value.c_str()); }

int State() {
  HWND spotter = FindWindowA(kSpotterClass, nullptr);
  if (!spotter) return 1;
  HWND input = GetDlgItem(spotter, kInputId);
  HWND list = GetDlgItem(spotter, kListId);
  Line("title", Utf8(WindowText(spotter)));
  Line("input", Utf8(WindowText(input)));
  Line("partial", std::to_string(SendMessageW(GetDlgItem(spotter, kPartialId), BM_GETCHECK, 0, 0)));
  Line("folder", Utf8(WindowText(GetDlgItem(spotter, kFolderId))));
  Line("count", std::to_string(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
  Line("selected", std::to_string(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
  Line("status", Utf8(WindowText(GetDlgItem(spotter, kStatusId))));
  Line("progress", Utf8(WindowText(GetDlgItem(spotter, kProgressId))));
  RECT rect{};
  GetWindowRect(input, &rect);
  std::printf("input-rect %ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
  Line("focus-is-input", GetForegroundWindow() == spotter ? "1" : "0");
  // The list's header on the screen and the right edge of each column, for clicks.
  RECT header{};
  GetWindowRect(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), &header);
  std::printf("header-rect %ld,%ld,%ld,%ld\n", header.left, header.top, header.right, header.bottom);
  std::string edges;
  for (int column = 0, x = header.left; column < 4; ++column) {
    x += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
    edges += (column ? "," : "") + std::to_string(x);
  }
  Line("column-edges", edges);
  return 0;
}

// The argument as given (main's arguments are in the ANSI code page).
std::wstring WideArgument(int index) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring argument = args && index < count ? args[index] : L"";
  if (args) LocalFree(args);
  return argument;
}

int SetInput() {
  HWND spotter = FindWindowA(kSpotterClass, nullptr);
  if (!spotter) return 1;
  std::wstring wide = WideArgument(2);
  DWORD_PTR ignored = 0;
  // An edit control reports EN_CHANGE for WM_SETTEXT, as for typing.
  return SendMessageTimeoutW(GetDlgItem(spotter, kInputId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()),
                             SMTO_ABORTIFHUNG, 20000, &ignored)
             ? 0
             : 1;
}

// How the window answers while it works: WM_NULL every 10 ms, each answer timed.
// Milliseconds between two counter readings.
double Ms(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  static const double ticksPerMs = [] {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  return static_cast<double>(to.QuadPart - from.QuadPart) / ticksPerMs;
}

// WM_NULL to Spotter every 10 ms. A slow answer is Spotter's own only when the machine
// was not stalled around it: the desktop window (another process, idle) answered a ping
// of its own quickly, and this probe's own 10 ms pause did not overrun, in that round and
// the one before. Answers that came late because the whole machine stalled are counted
// apart ("slow-load").
int Ping(DWORD milliseconds) {
  constexpr double kSlowMs = 100.0;
  constexpr double kStallMs = 50.0;
  const DWORD end = GetTickCount() + milliseconds;
  int pings = 0, slow = 0, slowLoad = 0, lost = 0;
  double slowest = 0;
  std::string slowAt;  // when Spotter's own slow answers came, in ms from the first ping
  bool answered = false;
  bool stalledBefore = false;
  LARGE_INTEGER first{}, start{}, now{}, slept{};
  HWND reference = GetDesktopWindow();
  while (static_cast<int>(end - GetTickCount()) > 0) {
    HWND spotter = FindWindowA(kSpotterClass, nullptr);
    DWORD_PTR ignored = 0;
    if (spotter && !answered) {
      answered = IsWindowVisible(spotter) && SendMessageTimeoutW(spotter, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    } else if (spotter) {
      QueryPerformanceCounter(&start);
      if (pings == 0) first = start;
      if (!SendMessageTimeoutW(spotter, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored)) ++lost;
      QueryPerformanceCounter(&now);
      const double ms = Ms(start, now);
      SendMessageTimeoutW(reference, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
      QueryPerformanceCounter(&start);
      const bool stalled = Ms(now, start) >= kStallMs || (pings > 0 && Ms(slept, now) - ms >= 10.0 + kStallMs);
      ++pings;
      if (ms > slowest) slowest = ms;
      if (ms >= kSlowMs && (stalled || stalledBefore)) {
        ++slowLoad;
      } else if (ms >= kSlowMs) {
        ++slow;
        slowAt += (slowAt.empty() ? "" : ",") + std::to_string(static_cast<int>(Ms(first, now))) + ":" +
                  std::to_string(static_cast<int>(ms));
      }
      stalledBefore = stalled;
    }
    QueryPerformanceCounter(&slept);
    Sleep(10);
  }
  std::printf("pings %d\nslowest-ms %.1f\nslow %d\nslow-load %d\nlost %d\nslow-at %s\n", pings, slowest, slow,
              slowLoad, lost, slowAt.empty() ? "-" : slowAt.c_str());
  return 0;
}

int Clipboard() {
  if (!OpenClipboard(nullptr)) return 1;
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  std::fputs(Utf8(text).c_str(), stdout);
  return 0;
}

BOOL CALLBACK CloseEach(HWND window, LPARAM lParam) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::strcmp(name, reinterpret_cast<const char*>(lParam)) == 0) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

bool TrayHasIcon(HWND window) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  return Shell_NotifyIconA(NIM_MODIFY, &data) == TRUE;
}

// --- Hostile requests ------------------------------------------------------------------

struct Reply {
  bool arrived = false;
  std::string text;
};
Reply reply;

LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    reply.arrived = true;
    reply.text.assign(static_cast<const char*>(data->lpData), data->cbData);
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateReplyWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ReplyProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SpotterProbeReply";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

// A requester window whose thread never reads its messages.
DWORD WINAPI HungRequester(LPVOID parameter) {
  auto* window = static_cast<HWND*>(parameter);
  *window = CreateWindowExA(0, "SpotterProbeReply", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  Sleep(INFINITE);
  return 0;
}

// The query "kaisya" with the default escape set, as every client sends it.
std::string Request(const std::string& query) { return query + '\0' + "\\.*^$/[]~(){}+" + '\0'; }

const std::string kKaisha = "\x89\xef\x8e\xd0";  // 会社 in code page 932

void Send(const char* name, HWND kanasift, HWND requester, ULONG_PTR dwData, const void* data, DWORD size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(kanasift, &pid);
  reply = Reply();
  COPYDATASTRUCT copy{dwData, size, const_cast<void*>(data)};
  DWORD_PTR result = 0;
  DWORD start = GetTickCount();
  LRESULT sent = SendMessageTimeoutA(kanasift, WM_COPYDATA, reinterpret_cast<WPARAM>(requester),
                                     reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 20000, &result);
  DWORD elapsed = GetTickCount() - start;
  DWORD pidAfter = 0;
  bool alive = IsWindow(kanasift) && GetWindowThreadProcessId(kanasift, &pidAfter) && pidAfter == pid;
  std::printf("case %s sent=%d result=%lld alive=%d replied=%d kaisha=%d bytes=%u ms=%lu\n", name, sent ? 1 : 0,
              static_cast<long long>(result), alive ? 1 : 0, reply.arrived ? 1 : 0,
              reply.text.find(kKaisha) != std::string::npos ? 1 : 0, static_cast<unsigned>(reply.text.size()),
              static_cast<unsigned long>(elapsed));
  std::fflush(stdout);
}

// A reply record {buffer, capacity} and its 256-byte buffer ("untouched") in Kanasift's
// memory, laid out as a requester of Kanasift's bitness would lay it out.
class PlantedReply {
 public:
  explicit PlantedReply(HWND kanasift) {
    DWORD pid = 0;
    GetWindowThreadProcessId(kanasift, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process_) return;
    block_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!block_) return;
    struct {
      char* buffer;
      std::int32_t capacity;
    } record{block_ + 64, 256};
    WriteProcessMemory(process_, block_, &record, sizeof record, nullptr);
    WriteProcessMemory(process_, block_ + 64, "untouched", 10, nullptr);
  }
  ~PlantedReply() {
    if (block_) VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  ULONG_PTR address() const { return reinterpret_cast<ULONG_PTR>(block_); }
  std::string Text() const {
    char text[257] = "(not planted)";
    if (block_) ReadProcessMemory(process_, block_ + 64, text, 256, nullptr);
    return text;
  }

 private:
  HANDLE process_ = nullptr;
  char* block_ = nullptr;
};

int RunHostile() {
  HWND kanasift = FindWindowA("Kanasift", nullptr);
  if (!kanasift) return 3;
  HWND own = CreateReplyWindow();

  Send("null-data", kanasift, own, 0, nullptr, 0);
  std::string some = Request("kaisya");
  Send("zero-size", kanasift, own, 0, some.data(), 0);
  Send("no-nul", kanasift, own, 0, "kaisya", 6);
  std::string queryOnly = std::string("kaisya") + '\0';
  Send("query-only", kanasift, own, 0, queryOnly.data(), static_cast<DWORD>(queryOnly.size()));
  std::string unterminated = std::string("kaisya") + '\0' + "\\.";
  Send("unterminated-set", kanasift, own, 0, unterminated.data(), static_cast<DWORD>(unterminated.size()));
  std::string empty(2, '\0');
  Send("empty-query", kanasift, own, 0, empty.data(), 2);

  // The size limit: 4096 bytes are taken, one more is not.
  std::string atLimit = std::string("kaisya") + '\0' + std::string(4096 - 8, '.') + '\0';
  Send("at-limit", kanasift, own, 0, atLimit.data(), static_cast<DWORD>(atLimit.size()));
  std::string overLimit = std::string("kaisya") + '\0' + std::string(4096 - 7, '.') + '\0';
  Send("over-limit", kanasift, own, 0, overLimit.data(), static_cast<DWORD>(overLimit.size()));
  std::string mebibyte = Request("kaisya");
  mebibyte.resize(1u << 20, '\0');
  Send("one-mebibyte", kanasift, own, 0, mebibyte.data(), static_cast<DWORD>(mebibyte.size()));
  std::string longQuery(4000, 'a');
  longQuery += '\0';
  longQuery += '\0';
  Send("long-query", kanasift, own, 0, longQuery.data(), static_cast<DWORD>(longQuery.size()));

  // A reply address from this process, and one that is valid in Kanasift's own image.
  struct {
    char* buffer;
    std::int32_t capacity;
  } ours{};
  char buffer[256] = "untouched";
  ours.buffer = buffer;
  ours.capacity = sizeof buffer;
  std::string request = Request("kaisya");
  Send("foreign-reply-address", kanasift, own, reinterpret_cast<ULONG_PTR>(&ours), request.data(),
       static_cast<DWORD>(request.size()));
  std::printf("foreign-buffer %s capacity=%d\n", buffer, static_cast<int>(ours.capacity));
  Send("image-base-address", kanasift, own, sizeof(void*) == 8 ? 0x140000000ull : 0x400000u, request.data(),
       static_cast<DWORD>(request.size()));
  Send("reply-address-no-requester", kanasift, nullptr, 0x400000u, request.data(),
       static_cast<DWORD>(request.size()));
  // Kanasift's own window named as the requester: with a small reply address, with a
  // reply record planted in Kanasift's memory (a program of the same user may write
  // there), and with none (the answer would go to Kanasift itself as a new request).
  Send("kanasift-requester-small-address", kanasift, kanasift, 0x10, request.data(),
       static_cast<DWORD>(request.size()));
  PlantedReply planted(kanasift);
  Send("kanasift-requester-planted-record", kanasift, kanasift, planted.address(), request.data(),
       static_cast<DWORD>(request.size()));
  std::printf("planted-buffer %s\n", planted.Text().c_str());
  Send("kanasift-requester", kanasift, kanasift, 0, request.data(), static_cast<DWORD>(request.size()));

  // Strange requesters: none, a handle that is no window, a window that never answers.
  Send("no-requester", kanasift, nullptr, 0, request.data(), static_cast<DWORD>(request.size()));
  Send("bogus-requester", kanasift, reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x7ff0)), 0, request.data(),
       static_cast<DWORD>(request.size()));
  HWND hung = nullptr;
  HANDLE thread = CreateThread(nullptr, 0, HungRequester, &hung, 0, nullptr);
  for (int i = 0; i < 200 && !hung; ++i) Sleep(10);
  Send("hung-requester", kanasift, hung, 0, request.data(), static_cast<DWORD>(request.size()));

  // Queries that are odd for Migemo: a lone lead byte, bytes that are no characters,
  // operators and an unclosed bracket.
  const char* odd[] = {"\x82", "\xff\xfe\xfd", "((((", "\\", "[", "?|*", "k\x82"};
  for (const char* query : odd) {
    std::string text = Request(query);
    Send("odd-query", kanasift, own, 0, text.data(), static_cast<DWORD>(text.size()));
  }

  // Finally a normal request still works.
  Send("normal", kanasift, own, 0, request.data(), static_cast<DWORD>(request.size()));
  DestroyWindow(own);
  if (thread) CloseHandle(thread);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string command = argv[1];
  if (command == "state") return State();
  if (command == "set-input" && argc == 3) return SetInput();
  if (command == "ping" && argc == 3) return Ping(std::strtoul(argv[2], nullptr, 10));
  if (command == "clipboard") return Clipboard();
  if (command == "window" && argc == 3) return FindWindowA(argv[2], nullptr) ? 0 : 1;
  if (command == "close" && argc == 3) {
    EnumWindows(CloseEach, reinterpret_cast<LPARAM>(argv[2]));
    return 0;
  }
  if (command == "tray") {
    HWND kanasift = FindWindowA("Kanasift", nullptr);
    return kanasift && TrayHasIcon(kanasift) ? 0 : 1;
  }
  if (command == "rect" && argc == 3) {
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(argv[2], nullptr, 0)));
    RECT rect{};
    if (!IsWindow(window) || !GetWindowRect(window, &rect)) return 1;
    std::printf("rect %ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
  }
  if (command == "kanasift-command" && argc == 3) {
    HWND kanasift = FindWindowA("Kanasift", nullptr);
    return kanasift && PostMessageA(kanasift, WM_COMMAND, std::strtoul(argv[2], nullptr, 0), 0) ? 0 : 1;
  }
  if (command == "stop-kanasift") {
    HWND kanasift = FindWindowA("Kanasift", nullptr);
    return kanasift && PostMessageA(kanasift, WM_COMMAND, 1011, 0) ? 0 : 1;
  }
  if (command == "hostile") {
    int code = RunHostile();
    // The hung requester's thread never ends: leave without waiting for it.
    std::fflush(stdout);
    ExitProcess(static_cast<UINT>(code));
  }
  return 2;
}
