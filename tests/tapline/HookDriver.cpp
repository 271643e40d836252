// tapline_hook_driver.exe: installs Tapline's hook the way Kanasift does (a hidden window
// of its own, the named input event, the configuration calls, then setHook) and reports
// on standard output what the library delivers:
//
//   input view=<hex> bytes=<hex,...> ticks=<n,...>   one getInputs batch
//   keydown <plain|ctrl|alt|ctrlalt> vk=<hex> view=<hex>
//
// Commands on standard input change the configuration or inject keys as Kanasift would;
// each is answered with "ok <command> ...".
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include <commctrl.h>

#include "LineChannel.h"
#include "platform/OwnObjects.h"
#include "platform/Win32Handles.h"
#include "tapline/Tapline.h"

namespace {

UINT g_keyMessages[4];
HWND g_commandWindow = nullptr;
HWND g_owner = nullptr;  // the window given to setHook
const char* const kKeyKinds[4] = {"plain", "ctrl", "alt", "ctrlalt"};
Shortcut g_shortcuts[SHORTCUT_COUNT];

// Starts or ends listening to the input event, as Kanasift's receiver does.
bool Listen();
void StopListening();

// "\t" in a command stands for a tab.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 't') {
      out += '\t';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

void Inject(std::uint8_t virtualKey, bool announce) {
  if (announce) Tapline::expectInjectedKey(virtualKey);
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwExtraInfo = kInjectedKeyMarker;
  SendInput(1, &input, sizeof(INPUT));
}

// Reports the items of a list view in another process of this bitness, in their order:
// "litem <index> <selected> <checked> <text>", then "end items".
void ReportItems(HWND list) {
  DWORD processId = 0;
  GetWindowThreadProcessId(list, &processId);
  UniqueKernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
  constexpr SIZE_T kTextBytes = 260;
  void* remote = process ? VirtualAllocEx(process.Get(), nullptr, sizeof(LVITEMA) + kTextBytes, MEM_COMMIT, PAGE_READWRITE)
                         : nullptr;
  int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; remote && i < count; ++i) {
    LVITEMA item = {};
    item.pszText = static_cast<char*>(remote) + sizeof(LVITEMA);
    item.cchTextMax = static_cast<int>(kTextBytes);
    char text[kTextBytes] = {};
    SIZE_T moved = 0;
    WriteProcessMemory(process.Get(), remote, &item, sizeof(item), &moved);
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process.Get(), item.pszText, text, kTextBytes - 1, &moved);
    UINT state = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i),
                                                LVIS_SELECTED | LVIS_STATEIMAGEMASK));
    Emit("litem %d %d %d %s", i, (state & LVIS_SELECTED) ? 1 : 0, ((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0,
         text);
  }
  if (remote) VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
  Emit("end items %d", remote ? count : -1);
}

void RunCommand(const std::string& line) {
  std::string rest;
  std::string command = FirstWord(line, rest);
  if (command == "use") {
    Tapline::setIsUse(rest == "1");
    Emit("ok use");
  } else if (command == "toggle-enable") {
    Emit("ok toggle-enable %d", Tapline::toggleIsEnable() ? 1 : 0);
  } else if (command == "toggle-force") {
    Emit("ok toggle-force %d", Tapline::toggleIsForceEnable() ? 1 : 0);
  } else if (command == "conditions") {
    Emit("ok conditions %d", Tapline::setTargetConditions(Unescape(rest).c_str()) ? 1 : 0);
  } else if (command == "shortcut") {  // shortcut <index> <ctrl> <alt> <key hex>
    int index = 0, ctrl = 0, alt = 0;
    unsigned key = 0;
    if (std::sscanf(rest.c_str(), "%d %d %d %x", &index, &ctrl, &alt, &key) == 4 && index >= 0 &&
        index < SHORTCUT_COUNT) {
      g_shortcuts[index] = Shortcut{static_cast<std::uint8_t>(ctrl), static_cast<std::uint8_t>(alt),
                                    static_cast<std::uint8_t>(key)};
      Tapline::setShortcuts(g_shortcuts);
    }
    Emit("ok shortcut");
  } else if (command == "nis") {
    Emit("ok nis %d", Tapline::setNisHeader(rest.c_str()) ? 1 : 0);
  } else if (command == "inject" || command == "inject-unannounced") {
    Inject(static_cast<std::uint8_t>(std::strtoul(rest.c_str(), nullptr, 16)), command == "inject");
    Emit("ok %s", command.c_str());
  } else if (command == "close") {  // close <window hex>: as the user closes a window
    PostMessageA(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(rest.c_str(), nullptr, 16))),
                 WM_CLOSE, 0, 0);
    Emit("ok close");
  } else if (command == "drop-owner") {  // the window goes, the process and its hook stay
    DestroyWindow(g_owner);
    Emit("ok drop-owner");
  } else if (command == "stop-listening") {  // the receiver ends and the input event goes
    StopListening();
    Emit("ok stop-listening");
  } else if (command == "listen") {
    Emit("ok listen %d", Listen() ? 1 : 0);
  } else if (command == "items") {
    ReportItems(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(rest.c_str(), nullptr, 16))));
  } else {
    Emit("ok %s", command.c_str());
  }
}

LRESULT CALLBACK DriverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  for (int i = 0; i < 4; ++i) {
    if (message == g_keyMessages[i]) {
      Emit("keydown %s vk=%02x view=%s", kKeyKinds[i], static_cast<unsigned>(wParam),
           HandleText(reinterpret_cast<void*>(lParam)).c_str());
      return 0;
    }
  }
  switch (message) {
    case kCommandMessage:
      RunCommand(reinterpret_cast<const char*>(lParam));
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (window == g_commandWindow) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The receiver: one getInputs per signal of the event, as Kanasift's receiver thread.
void Receive(HANDLE inputEvent, HANDLE stopEvent);

// The input event (made as Kanasift makes it) and the receiver waiting on it, while
// listening.
UniqueKernelHandle g_inputEvent;
UniqueKernelHandle g_stopEvent;
std::thread g_receiver;

bool Listen() {
  if (g_receiver.joinable()) return true;
  bool created = false;
  g_inputEvent.Reset(ownobj::CreateOwnEvent(KANASIFT_INPUT_EVENT, false, created));
  g_stopEvent.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!g_inputEvent || !g_stopEvent) return false;
  g_receiver = std::thread(Receive, g_inputEvent.Get(), g_stopEvent.Get());
  return true;
}

void StopListening() {
  if (!g_receiver.joinable()) return;
  SetEvent(g_stopEvent.Get());
  g_receiver.join();
  g_inputEvent.Reset();
  g_stopEvent.Reset();
}

void Receive(HANDLE inputEvent, HANDLE stopEvent) {
  HANDLE events[2] = {stopEvent, inputEvent};
  for (;;) {
    DWORD woke = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0 + 1) return;
    HWND view = nullptr;
    unsigned char chars[INPUT_BATCH_MAX];
    std::uint32_t ticks[INPUT_BATCH_MAX];
    int count = Tapline::getInputs(&view, chars, ticks);
    if (count <= 0) continue;
    std::string bytes, times;
    for (int i = 0; i < count; ++i) {
      char item[32];
      std::snprintf(item, sizeof(item), "%s%02x", i ? "," : "", chars[i]);
      bytes += item;
      std::snprintf(item, sizeof(item), "%s%lu", i ? "," : "", static_cast<unsigned long>(ticks[i]));
      times += item;
    }
    Emit("input view=%s bytes=%s ticks=%s", HandleText(view).c_str(), bytes.c_str(), times.c_str());
  }
}

}  // namespace

int main() {
  const char* names[4] = {KANASIFT_MSG_KEYDOWN, KANASIFT_MSG_KEYDOWN_CTRL, KANASIFT_MSG_KEYDOWN_ALT,
                          KANASIFT_MSG_KEYDOWN_CTRL_ALT};
  for (int i = 0; i < 4; ++i) g_keyMessages[i] = RegisterWindowMessageA(names[i]);
  const char* defaults = "G!NPST!!!!!!H";
  for (int i = 0; i < SHORTCUT_COUNT; ++i) g_shortcuts[i] = Shortcut{1, 0, static_cast<std::uint8_t>(defaults[i])};

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DriverProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TaplineHookDriver";
  RegisterClassA(&windowClass);
  // Commands arrive at one window, key messages at the other, so that the second can be
  // destroyed while the hook stays installed.
  auto create = [&] {
    return CreateWindowExA(0, windowClass.lpszClassName, "", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, windowClass.hInstance, nullptr);
  };
  g_commandWindow = create();
  g_owner = create();
  HWND window = g_owner;
  if (!g_commandWindow || !window) {
    Emit("error window");
    return 2;
  }

  // The order of Kanasift's start: configuration, then the event, then the hook.
  Tapline::setIsUse(true);
  bool configured = Tapline::setListViewClasses("SysListView32") && Tapline::setTreeViewClasses("SysTreeView32") &&
                    Tapline::setTargetConditions("*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t");
  Tapline::setShortcuts(g_shortcuts);
  bool listening = Listen();
  bool hooked = Tapline::setHook(window);
  if (!configured || !hooked || !listening) {
    Emit("error setup configured=%d hooked=%d listening=%d", configured, hooked, listening);
    return 3;
  }
  CommandReader reader(g_commandWindow);
  Emit("ready window=%s enable=%d force=%d", HandleText(window).c_str(), Tapline::isEnable(), Tapline::isForceEnable());

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  StopListening();
  Tapline::unsetHook();
  return 0;
}
