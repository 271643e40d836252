// A small helper for the scenario test: talks to a running Kanasift from outside, as
// another program or the shell would, and reports what it sees.
//
//   KanasiftProbe window                 exit 0 when the main window exists
//   KanasiftProbe icon                   exit 0 when the tray holds Kanasift's icon
//   KanasiftProbe send <msg> <w> <l>     SendMessage; prints the result
//   KanasiftProbe post <msg> <w> <l>     PostMessage
//   KanasiftProbe post-to <hwnd> <msg> <w> <l>  PostMessage to another window
//   KanasiftProbe answers <class> <ms>   for <ms>, round trips to the message-only window
//                                        of <class> one after the other, each followed by
//                                        one of 20 ms at most to the main window; prints
//                                        how many, the slowest and the median (µs), and
//                                        how many of the main window's were not answered
//   KanasiftProbe box <title>            prints the text of a message box (UTF-8), exit 1 if none
//   KanasiftProbe close-box <title>      closes that message box
//   KanasiftProbe close-menu             closes an open pop-up menu
//   KanasiftProbe menu-open              exit 0 while a pop-up menu is open; prints where it is
//   KanasiftProbe query <text> [dwData]  asks the query service (WM_COPYDATA); prints the result
//   KanasiftProbe tooltip                prints whether the input tooltip is shown, and where
//   KanasiftProbe dialog                 prints where Kanasift's visible input dialog and its
//                                        OK button stand on the screen; exit 1 if none
//   KanasiftProbe dialog-front           puts that dialog above every window, not activating it
//   KanasiftProbe create                 sends WM_CREATE with a creation record, as only the
//                                        system should; prints the result
//   KanasiftProbe impostor <ms>          poses as a running Kanasift that never answers (its
//                                        mutex and a window of its class), for <ms>
//
// <msg> is a number (0x400) or a registered name ("Kanasift::UM_KEYDOWN").
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/OwnObjects.h"
#include "tapline/TaplineTypes.h"
#include "tools/kanasiftprobe/KanasiftWindows.h"

using namespace probe;

namespace {

UINT MessageFromText(const char* text) {
  if (text[0] >= '0' && text[0] <= '9') return static_cast<UINT>(std::strtoul(text, nullptr, 0));
  return RegisterWindowMessageA(text);
}

LPARAM NumberFromText(const char* text) {
  return static_cast<LPARAM>(std::strtoll(text, nullptr, 0));
}

// The icon of (window, 0) is in the tray exactly when a modify that changes nothing succeeds.
bool TrayHasIcon(HWND window) {
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = window;
  data.uID = 0;
  data.uFlags = 0;
  return Shell_NotifyIconA(NIM_MODIFY, &data) == TRUE;
}

HWND FindBox(const char* title) { return FindWindowW(L"#32770", Wide(title).c_str()); }

struct OwnedDialogSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND candidate, LPARAM data) {
  auto* search = reinterpret_cast<OwnedDialogSearch*>(data);
  char name[16] = {};
  GetClassNameA(candidate, name, sizeof(name));
  if (lstrcmpA(name, "#32770") == 0 && IsWindowVisible(candidate) &&
      GetWindow(candidate, GW_OWNER) == search->owner) {
    search->found = candidate;
    return FALSE;
  }
  return TRUE;
}

// A visible dialog (#32770) owned by `owner`, or null.
HWND VisibleOwnedDialog(HWND owner) {
  OwnedDialogSearch search{owner, nullptr};
  EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A message box's text: its static control (id 0xFFFF).
std::wstring BoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  wchar_t buffer[4096] = {};
  if (text) GetWindowTextW(text, buffer, 4096);
  return buffer;
}

// The reply of the query service arrives here as WM_COPYDATA.
std::string queryAnswer;
bool queryAnswered = false;
LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    queryAnswer.assign(static_cast<const char*>(data->lpData), data->cbData);
    queryAnswered = true;
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int Usage() {
  std::fprintf(stderr, "usage: KanasiftProbe window|icon|send|post|post-to|answers|box|close-box|close-menu|menu-open|query|tooltip|dialog|create|impostor ...\n");
  return 2;
}

// A first instance that hangs: it holds the instance mutex (made as Kanasift makes it)
// and owns a window of Kanasift's class, but its thread never reads a message.
int Impostor(DWORD milliseconds) {
  bool created = false;
  HANDLE mutex = ownobj::CreateOwnMutex(KANASIFT_MUTEX, true, created);
  if (!mutex || !created) return 1;
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = KANASIFT_WINDOW_CLASS;
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (!window) return 1;
  Sleep(milliseconds);
  DestroyWindow(window);
  CloseHandle(mutex);
  return 0;
}

// Round trips to the window of `className` (and the main window's thread alongside) for
// `milliseconds`.
int Answers(const char* className, DWORD milliseconds, HWND mainWindow) {
  HWND target = FindWindowExA(HWND_MESSAGE, nullptr, className, nullptr);
  if (!target || !mainWindow) return 1;
  LARGE_INTEGER frequency, begin, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&begin);
  auto micros = [&](const LARGE_INTEGER& from) {
    LARGE_INTEGER at;
    QueryPerformanceCounter(&at);
    return static_cast<long long>((at.QuadPart - from.QuadPart) * 1000000 / frequency.QuadPart);
  };
  std::vector<long long> times;
  int unanswered = 0;
  int mainUnanswered = 0;
  do {
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    DWORD_PTR ignored = 0;
    if (SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored)) {
      times.push_back(micros(start));
    } else {
      ++unanswered;
      times.push_back(micros(start));
    }
    if (!SendMessageTimeoutA(mainWindow, WM_NULL, 0, 0, SMTO_NORMAL, 20, &ignored)) ++mainUnanswered;
    QueryPerformanceCounter(&now);
  } while (static_cast<DWORD>((now.QuadPart - begin.QuadPart) * 1000 / frequency.QuadPart) < milliseconds);
  std::sort(times.begin(), times.end());
  std::printf("answers=%zu unanswered=%d slowest_us=%lld median_us=%lld main_unanswered=%d\n", times.size(),
              unanswered, times.back(), times[times.size() / 2], mainUnanswered);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  HWND window = MainWindow();
  if (command == "window") {
    std::printf("%p\n", static_cast<void*>(window));
    return window ? 0 : 1;
  }
  if (command == "icon") {
    bool shown = window && TrayHasIcon(window);
    std::printf("%s\n", shown ? "shown" : "hidden");
    return shown ? 0 : 1;
  }
  if ((command == "send" || command == "post") && argc == 5) {
    if (!window) return 3;
    UINT message = MessageFromText(argv[2]);
    WPARAM wParam = static_cast<WPARAM>(NumberFromText(argv[3]));
    LPARAM lParam = NumberFromText(argv[4]);
    if (command == "post") return PostMessageA(window, message, wParam, lParam) ? 0 : 1;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result)) return 1;
    std::printf("%lld\n", static_cast<long long>(result));
    return 0;
  }
  if (command == "post-to" && argc == 6) {
    HWND target = reinterpret_cast<HWND>(static_cast<INT_PTR>(NumberFromText(argv[2])));
    return PostMessageA(target, MessageFromText(argv[3]), static_cast<WPARAM>(NumberFromText(argv[4])),
                        NumberFromText(argv[5]))
               ? 0
               : 1;
  }
  if (command == "answers" && argc == 4) {
    return Answers(argv[2], static_cast<DWORD>(NumberFromText(argv[3])), window);
  }
  if (command == "box" && argc == 3) {
    HWND box = FindBox(argv[2]);
    if (!box) return 1;
    std::string text = Utf8(BoxText(box));
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::printf("\n");
    return 0;
  }
  if (command == "close-box" && argc == 3) {
    HWND box = FindBox(argv[2]);
    if (!box) return 1;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 0;
  }
  if (command == "menu-open" || command == "close-menu") {
    HWND menu = FindWindowA("#32768", nullptr);
    bool open = menu && IsWindowVisible(menu);
    if (command == "menu-open") {
      if (!open) return 1;
      RECT r{};
      GetWindowRect(menu, &r);
      std::printf("rect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
      return 0;
    }
    if (!open) return 1;
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    return 0;
  }
  if (command == "tooltip") {
    HWND tip = window ? InputTooltip(window) : nullptr;
    if (!tip) return 1;
    RECT r{};
    GetWindowRect(tip, &r);
    std::printf("visible=%d rect=%ld,%ld,%ld,%ld\n", IsWindowVisible(tip) ? 1 : 0, r.left, r.top,
                r.right, r.bottom);
    return 0;
  }
  if (command == "dialog") {
    HWND dialog = window ? VisibleOwnedDialog(window) : nullptr;
    if (!dialog) return 1;
    RECT r{};
    RECT ok{};
    GetWindowRect(dialog, &r);
    GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
    std::printf("rect=%ld,%ld,%ld,%ld ok=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom, ok.left,
                ok.top, ok.right, ok.bottom);
    return 0;
  }
  if (command == "dialog-front") {
    // Puts the open dialog above every other window, without activating it. The dialog is
    // topmost already, so it leaves the topmost band and enters it again: a move to where
    // it stands changes nothing, and Wine restacks the screen's windows only on a change
    // (its X stacking can lag behind, with a window activated while the dialog was being
    // mapped drawn above it).
    HWND dialog = window ? VisibleOwnedDialog(window) : nullptr;
    if (!dialog) return 1;
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, flags);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return 0;
  }
  if (command == "create") {
    if (!window) return 3;
    CREATESTRUCTA create{};
    create.lpszClass = KANASIFT_WINDOW_CLASS;
    create.lpszName = "";
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create), SMTO_ABORTIFHUNG, 10000,
                             &result)) {
      return 1;
    }
    std::printf("%lld\n", static_cast<long long>(static_cast<LRESULT>(result)));
    return 0;
  }
  if (command == "impostor" && argc == 3) return Impostor(static_cast<DWORD>(NumberFromText(argv[2])));
  if (command == "query" && (argc == 3 || argc == 4)) {
    if (!window) return 3;
    WNDCLASSA wc{};
    wc.lpfnWndProc = ReplyProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KanasiftProbeReply";
    RegisterClassA(&wc);
    HWND reply = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
    std::string request = std::string(argv[2]) + '\0' + std::string("\\.*^$/[]~(){}+") + '\0';
    // A reply address of our own in dwData: the service must refuse to write through it.
    ULONG_PTR replyAddress = argc == 4 ? static_cast<ULONG_PTR>(NumberFromText(argv[3])) : 0;
    COPYDATASTRUCT data{replyAddress, static_cast<DWORD>(request.size()), request.data()};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_COPYDATA, reinterpret_cast<WPARAM>(reply),
                        reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 20000, &result);
    std::printf("result=%lld answered=%d answer=%s\n", static_cast<long long>(result),
                queryAnswered ? 1 : 0, queryAnswer.c_str());
    DestroyWindow(reply);
    return 0;
  }
  return Usage();
}
