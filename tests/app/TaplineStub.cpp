// A stand-in for Tapline.dll used only by the shell's scenario test: the same exported
// interface, with every call that changes the hook library's state written as one line
// to TaplineStub.log beside the DLL, so the test sees what the program asked for.
// Classes, tree classes or conditions given as "FAIL" are refused.
//
// setHook also leaves a message-only window of the class "TaplineStub.HookThread" on the
// thread that called it. Where Windows runs a hook for a process of the other bitness, it
// does so by a message to that thread; a round trip to this window shows how soon that
// thread would take it.
#define TAPLINE_BUILD
#include "tapline/Tapline.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool enabled = true;
bool forceEnabled = false;
// Which thread sets and removes the hook: the window's own (the UI thread) or another.
DWORD hookThread = 0;
HWND hookThreadWindow = nullptr;

void Log(const std::string& line) {
  char path[MAX_PATH] = {};
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&Log), &self);
  GetModuleFileNameA(self, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) return;
  std::strcpy(slash + 1, "TaplineStub.log");
  if (FILE* f = std::fopen(path, "ab")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

bool Accept(const char* what, const char* text) {
  Log(std::string(what) + " " + (text ? text : "(null)"));
  return text != nullptr && std::strcmp(text, "FAIL") != 0;
}

}  // namespace

bool Tapline::setHook(HWND window) {
  hookThread = GetCurrentThreadId();
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TaplineStub.HookThread";
  RegisterClassA(&windowClass);
  if (hookThreadWindow == nullptr) {
    hookThreadWindow = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       windowClass.hInstance, nullptr);
  }
  Log(GetWindowThreadProcessId(window, nullptr) == hookThread ? "setHook on the window's thread"
                                                               : "setHook on a thread of its own");
  return true;
}
void Tapline::unsetHook() {
  Log(hookThread != 0 && GetCurrentThreadId() == hookThread ? "unsetHook on the hook's thread"
                                                            : "unsetHook on another thread");
  if (hookThreadWindow != nullptr && GetCurrentThreadId() == hookThread) {
    DestroyWindow(hookThreadWindow);
    hookThreadWindow = nullptr;
  }
}
void Tapline::setIsUse(bool isUse) { Log(isUse ? "setIsUse 1" : "setIsUse 0"); }
bool Tapline::isEnable() { return enabled; }
bool Tapline::isForceEnable() { return forceEnabled; }
bool Tapline::toggleIsEnable() {
  enabled = !enabled;
  Log(enabled ? "toggleIsEnable 1" : "toggleIsEnable 0");
  return enabled;
}
bool Tapline::toggleIsForceEnable() {
  forceEnabled = !forceEnabled;
  Log(forceEnabled ? "toggleIsForceEnable 1" : "toggleIsForceEnable 0");
  return forceEnabled;
}
bool Tapline::setListViewClasses(const char* text) { return Accept("setListViewClasses", text); }
bool Tapline::setTreeViewClasses(const char* text) { return Accept("setTreeViewClasses", text); }
bool Tapline::setShellViewClasses(const char* text) { return Accept("setShellViewClasses", text); }
bool Tapline::setTargetConditions(const char* text) { return Accept("setTargetConditions", text); }
void Tapline::tssToNss(char* buffer) {
  for (char* p = buffer; *p; ++p) {
    if (*p == '\t') *p = '\0';
  }
}
bool Tapline::isTargetClass(const char* className, const char* list) {
  for (const char* p = list; *p; p += std::strlen(p) + 1) {
    if (std::strcmp(p, className) == 0) return true;
  }
  return false;
}
void Tapline::setShortcuts(const Shortcut* shortcuts) {
  std::string line = "setShortcuts";
  for (int i = 0; i < SHORTCUT_COUNT; ++i) {
    char record[16];
    std::snprintf(record, sizeof(record), " %d%d%c", shortcuts[i].ctrl, shortcuts[i].alt,
                  shortcuts[i].key);
    line += record;
  }
  Log(line);
}
bool Tapline::setNisHeader(const char* header) { return Accept("setNisHeader", header); }
int Tapline::getInputs(HWND*, unsigned char*, std::uint32_t*) { return 0; }
// No process has this stand-in loaded: views are read item by item.
bool Tapline::prepareViewRead(HWND) { return false; }
void Tapline::forgetViewRead(HWND) {}
std::uint64_t Tapline::viewReadKey() { return 0; }
void Tapline::expectInjectedKey(unsigned char virtualKey) {
  Log("expectInjectedKey " + std::to_string(virtualKey));
}
