#include "view/WindowPath.h"

#include <cstdlib>
#include <vector>

namespace {

struct TopStep {
  std::string className;
  std::string title;
  bool anyTitle = true;
  DWORD pid = 0;
};

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> steps;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    steps.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return steps;
}

TopStep ParseTop(std::string step) {
  TopStep top;
  std::size_t hash = step.rfind('#');
  if (hash != std::string::npos) {
    top.pid = static_cast<DWORD>(std::strtoul(step.c_str() + hash + 1, nullptr, 10));
    step.erase(hash);
  }
  std::size_t at = step.find('@');
  if (at != std::string::npos) {
    top.title = step.substr(at + 1);
    top.anyTitle = false;
    step.erase(at);
  }
  top.className = step;
  return top;
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  int length = GetClassNameA(window, name, sizeof(name));
  return length > 0 ? std::string(name, static_cast<std::size_t>(length)) : std::string();
}

std::string TitleOf(HWND window) {
  wchar_t title[512] = {};
  GetWindowTextW(window, title, 512);
  char utf8[1536] = {};
  WideCharToMultiByte(CP_UTF8, 0, title, -1, utf8, sizeof(utf8) - 1, nullptr, nullptr);
  return utf8;
}

bool ClassMatches(HWND window, const std::string& step) {
  return step == "*" || lstrcmpiA(ClassOf(window).c_str(), step.c_str()) == 0;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> out;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) out.push_back(child);
  return out;
}

HWND Descend(HWND window, const std::vector<std::string>& steps, std::size_t next) {
  if (next == steps.size()) return window;
  for (HWND child : Children(window)) {
    if (!ClassMatches(child, steps[next])) continue;
    if (HWND found = Descend(child, steps, next + 1)) return found;
  }
  return nullptr;
}

struct TopSearch {
  TopStep top;
  const std::vector<std::string>* steps;
  HWND found = nullptr;
};

BOOL CALLBACK VisitTop(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<TopSearch*>(param);
  if (!ClassMatches(window, search.top.className)) return TRUE;
  if (search.top.pid != 0) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search.top.pid) return TRUE;
  }
  if (!search.top.anyTitle && TitleOf(window) != search.top.title) return TRUE;
  search.found = Descend(window, *search.steps, 1);
  return search.found ? FALSE : TRUE;
}

void Describe(HWND window, int depth, std::string& out) {
  if (depth > 32) return;
  out.append(static_cast<std::size_t>(depth) * 2, ' ');
  out += ClassOf(window);
  out += '\n';
  for (HWND child : Children(window)) Describe(child, depth + 1, out);
}

}  // namespace

HWND FindWindowByClassPath(const std::string& path) {
  std::vector<std::string> steps = Split(path);
  if (steps.empty() || steps[0].empty()) return nullptr;
  TopSearch search;
  search.top = ParseTop(steps[0]);
  search.steps = &steps;
  EnumWindows(VisitTop, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string DescribeWindowClasses(HWND top) {
  std::string out;
  if (IsWindow(top)) Describe(top, 0, out);
  return out;
}
