#include "Flood.h"

#include <cstdint>
#include <cstdio>
#include <random>

#include "tools/kanasiftprobe/KanasiftWindows.h"
#include "tapline/TaplineTypes.h"

namespace reliability {

using namespace probe;

namespace {

// Tray-menu commands (app/resources/ResourceIds.h).
constexpr int kCmdFirst = 1000;
constexpr int kCmdVersion = 1007;
constexpr int kCmdShortcutList = 1008;
constexpr int kCmdSpotter = 1009;
constexpr int kCmdExit = 1011;

class Flooder {
 public:
  Flooder(HWND mainWindow, const FloodOptions& options) : main_(mainWindow), options_(options), random_(options.seed) {
    static const char* const kKeyNames[4] = {KANASIFT_MSG_KEYDOWN, KANASIFT_MSG_KEYDOWN_CTRL, KANASIFT_MSG_KEYDOWN_ALT,
                                             KANASIFT_MSG_KEYDOWN_CTRL_ALT};
    for (int i = 0; i < 4; ++i) keyMessages_[i] = RegisterWindowMessageA(kKeyNames[i]);
    searchWithRegex_ = RegisterWindowMessageA(KANASIFT_MSG_SEARCH_WITH_REGEX);
    setNisHeader_ = RegisterWindowMessageA(KANASIFT_MSG_SET_NIS_HEADER);
    ownWindows_[0] = main_;
    ownWindows_[1] = InputTooltip(main_);
  }

  std::uintptr_t Any() { return static_cast<std::uintptr_t>((static_cast<std::uint64_t>(random_()) << 32) | random_()); }
  std::uint32_t Below(std::uint32_t n) { return random_() % n; }

  // A view handle as a hostile or confused sender would give it: none, garbage, a
  // window of another process, or one of Kanasift's own windows.
  LPARAM AnyView() {
    switch (Below(6)) {
      case 0: return static_cast<LPARAM>(Any());
      case 1: return static_cast<LPARAM>(Below(0x10000));
      case 2:
      case 3:
        if (!options_.foreignWindows.empty()) {
          return reinterpret_cast<LPARAM>(options_.foreignWindows[Below(static_cast<std::uint32_t>(options_.foreignWindows.size()))]);
        }
        return 0;
      case 4: return reinterpret_cast<LPARAM>(ownWindows_[Below(2)]);
      default: return reinterpret_cast<LPARAM>(GetDesktopWindow());
    }
  }

  WPARAM AnyKey() {
    switch (Below(4)) {
      case 0: return static_cast<WPARAM>(Any());
      case 1: return Below(256);
      case 2: return "NPSHGT"[Below(6)];
      default: return static_cast<WPARAM>(static_cast<std::int8_t>(Below(256)));
    }
  }

  void KeyMessages() {
    for (int i = 0; i < options_.rounds; ++i) {
      LPARAM view = AnyView();
      WPARAM key = AnyKey();
      const std::uint32_t kind = Below(4);
      // lParam 0 carries a second start's switches (1 use, 2 enable, 3 force-enable):
      // real commands, not attacks; they are left out so that the modes stay as they were.
      if (view == 0 && key >= 1 && key <= 3) key = 4;
      // So is Ctrl+G, the hook library's enable toggle: its state is not saved, and an
      // odd number of them would leave the library off for the typing that follows.
      if (kind == 1 && key == 'G') key = 'Q';
      PostMessageA(main_, keyMessages_[kind], key, view);
      if (i % 64 == 0) Breathe();
    }
  }

  void Commands() {
    int spotters = 0;
    for (int i = 0; i < options_.rounds; ++i) {
      int id = kCmdFirst + static_cast<int>(Below(kCmdExit - kCmdFirst));
      // Each one starts a process: a few are enough.
      if (id == kCmdSpotter && spotters++ >= 2) continue;
      WPARAM wParam = static_cast<WPARAM>(id) | (static_cast<WPARAM>(Below(0x10000)) << 16);
      PostMessageA(main_, WM_COMMAND, wParam, static_cast<LPARAM>(Any()));
      if (id == kCmdVersion || id == kCmdShortcutList) {
        // The box's own modal loop dispatches what comes next, with no filter of ours.
        WaitForBox();
        Garbage(8);
        CloseBoxes(L"Kanasift");
      }
      if (i % 64 == 0) Breathe();
    }
    CloseAllBoxes();
  }

  void Timers() {
    for (int i = 0; i < options_.rounds; ++i) {
      WPARAM id = Below(4) == 0 ? static_cast<WPARAM>(Any()) : Below(8);
      // Now and then a "timer procedure" too: the system must not call an address that
      // no SetTimer of this process registered.
      LPARAM procedure = Below(8) == 0 ? static_cast<LPARAM>(Any()) : 0;
      PostMessageA(main_, WM_TIMER, id, procedure);
      if (i % 64 == 0) Breathe();
    }
  }

  // The dialogs' messages carry a pointer that is only valid during a send on
  // Kanasift's own thread: these ones point anywhere.
  void Garbage(int count) {
    static const LPARAM kPointers[] = {1, 0x1000, 0x7FFE0000, static_cast<LPARAM>(-1), 0x12345678};
    for (int i = 0; i < count; ++i) {
      LPARAM pointer = Below(2) ? kPointers[Below(5)] : static_cast<LPARAM>(Any());
      UINT message = Below(2) ? searchWithRegex_ : setNisHeader_;
      PostMessageA(main_, message, static_cast<WPARAM>(Any()), pointer);
      if (Below(8) == 0) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(main_, message, 0, pointer, SMTO_ABORTIFHUNG, 2000, &ignored);
      }
    }
  }

  void GarbageRounds() {
    for (int i = 0; i < options_.rounds / 8; ++i) Garbage(8);
    // And inside a modal loop, several times.
    for (int i = 0; i < 10; ++i) {
      PostMessageA(main_, WM_COMMAND, i % 2 ? kCmdVersion : kCmdShortcutList, 0);
      WaitForBox();
      Garbage(32);
      Sleep(20);
      CloseAllBoxes();
    }
  }

  // Lets Kanasift catch up: a bounded round trip; false when it did not answer.
  bool Breathe() {
    DWORD elapsed = 0;
    if (!Ping(main_, 10000, elapsed)) {
      ++unanswered;
      return false;
    }
    if (elapsed > slowest) slowest = elapsed;
    return true;
  }

  // Creation and destruction messages that only the system should send: a second
  // WM_CREATE must not build the program a second time over the first.
  void ForeignCreate() {
    CREATESTRUCTA create{};
    create.lpszClass = "Kanasift";
    create.lpszName = "";
    for (int i = 0; i < 3; ++i) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(main_, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create), SMTO_ABORTIFHUNG, 10000, &ignored);
      Breathe();
    }
  }

  // Waits until Kanasift has handled every message posted so far: posted messages are
  // handled in order, so once the box of a command posted last is up, the rest is done.
  void Settle() {
    CloseAllBoxes();
    PostMessageA(main_, WM_COMMAND, kCmdVersion, 0);
    for (int i = 0; i < 3000 && CountBoxes(L"Kanasift") == 0; ++i) Sleep(10);
    CloseAllBoxes();
  }

  void WaitForBox() {
    for (int i = 0; i < 200 && CountBoxes(L"Kanasift") == 0; ++i) Sleep(5);
  }

  void CloseAllBoxes() {
    for (int i = 0; i < 400; ++i) {
      Breathe();
      if (CloseBoxes(L"Kanasift") == 0) {
        Sleep(20);
        if (CountBoxes(L"Kanasift") == 0) return;
      }
      Sleep(10);
    }
  }

  int unanswered = 0;
  DWORD slowest = 0;

 private:
  HWND main_;
  const FloodOptions& options_;
  std::mt19937 random_;
  UINT keyMessages_[4] = {};
  UINT searchWithRegex_ = 0;
  UINT setNisHeader_ = 0;
  HWND ownWindows_[2];
};

}  // namespace

int RunFlood(const FloodOptions& options) {
  HWND mainWindow = MainWindow();
  if (!mainWindow) {
    std::printf("flood: no running Kanasift\n");
    return 2;
  }
  DWORD pid = ProcessOf(mainWindow);
  Flooder flooder(mainWindow, options);
  DWORD start = GetTickCount();
  flooder.KeyMessages();
  std::printf("key messages done (%lu ms)\n", GetTickCount() - start);
  flooder.Timers();
  std::printf("timers done (%lu ms)\n", GetTickCount() - start);
  flooder.GarbageRounds();
  std::printf("garbage pointers done (%lu ms)\n", GetTickCount() - start);
  flooder.Commands();
  std::printf("commands done (%lu ms)\n", GetTickCount() - start);
  flooder.ForeignCreate();
  std::printf("foreign WM_CREATE done (%lu ms)\n", GetTickCount() - start);
  flooder.Settle();
  bool alive = MainWindow() == mainWindow && ProcessOf(mainWindow) == pid && flooder.Breathe();
  std::printf("flood: %s; %d round trips unanswered, slowest %lu ms, %lu ms in all\n",
              alive ? "Kanasift is still there" : "Kanasift is gone", flooder.unanswered, flooder.slowest,
              GetTickCount() - start);
  return alive ? 0 : 1;
}

}  // namespace reliability
