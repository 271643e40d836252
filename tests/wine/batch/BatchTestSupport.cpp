#include "tests/wine/batch/BatchTestSupport.h"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <sstream>

#include "tapline/Tapline.h"
#include "view/RemoteViews.h"

namespace {

constexpr char kOwnerClass[] = "KanasiftBatchTestOwner";
constexpr char kTreeClasses[] = "SysTreeView32\0";  // with the string's own NUL: the list's end

class NoDictionary : public Dictionary {
 public:
  std::optional<std::string> Query(const std::string&, const char*) override { return std::nullopt; }
};

class QuietNotifier : public UserNotifier {
 public:
  void Beep() override { ++beeps; }
  void ShowMessage(ViewHandle, const std::string&, const std::string&, unsigned) override {}
  int beeps = 0;
};

void ObserveList(HWND list, Observation& o) {
  auto view = OpenRemoteList(list);
  int count = view->ItemCount();
  for (int i = 0; i < count && !view->Lost(); ++i) {
    std::uint32_t state = view->ItemState(i, kLvisSelected | kLvisFocused);
    if (state & kLvisSelected) o.selected.push_back(i);
    if (state & kLvisFocused) o.focused = i;
  }
  DWORD_PTR top = 0;
  if (SendMessageTimeoutA(list, LVM_GETTOPINDEX, 0, 0, SMTO_BLOCK, 2000, &top)) o.topIndex = static_cast<int>(top);
}

void ObserveTree(HWND tree, Observation& o) {
  auto view = OpenRemoteTree(tree);
  if (!view->OpenRecord()) return;
  TreeItem caret = view->NextItem(TreeRelation::Caret, 0);
  int position = 0;
  for (TreeItem item = view->NextItem(TreeRelation::Root, 0); item != 0 && position < 10000;
       item = view->NextItem(TreeRelation::NextVisible, item), ++position) {
    if (item == caret) {
      o.caretPosition = position;
      view->ItemText(item, o.caretText);
      break;
    }
  }
}

}  // namespace

HookOwner::~HookOwner() {
  Tapline::unsetHook();
  if (window_) DestroyWindow(window_);
}

bool HookOwner::Install() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kOwnerClass;
  RegisterClassA(&windowClass);  // fails harmlessly when a second owner registers again
  if (!window_) {
    window_ = CreateWindowExA(0, kOwnerClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  }
  if (!window_) return false;
  Tapline::setIsUse(true);
  bool configured = Tapline::setListViewClasses("SysListView32") && Tapline::setTreeViewClasses("SysTreeView32") &&
                    Tapline::setTargetConditions("*\tProgman\t*\t*\tExploreWClass\t*\t*\tCabinetWClass\t*\t");
  return configured && Tapline::setHook(window_);
}

bool LoadHookLibraryInto(const ViewhostProcess& host) {
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (Tapline::prepareViewRead(host.List())) return true;
    SetForegroundWindow(host.Main());
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_SHIFT;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    Sleep(50);
  }
  return false;
}

std::uint64_t CountingViewReads::RequestKey() { return Tapline::viewReadKey(); }

bool CountingViewReads::Prepare(HWND view) {
  bool ready = Tapline::prepareViewRead(view);
  ++(ready ? prepared : refused);
  return ready;
}

void CountingViewReads::Forget(HWND view) {
  ++forgotten;
  Tapline::forgetViewRead(view);
}

bool Observation::operator==(const Observation& o) const {
  return label == o.label && outcome == o.outcome && isMatching == o.isMatching &&
         lastSearchFound == o.lastSearchFound && rect == o.rect && matched == o.matched && selected == o.selected &&
         focused == o.focused && caretPosition == o.caretPosition && caretText == o.caretText && topIndex == o.topIndex;
}

std::string Describe(const Observation& o) {
  std::ostringstream out;
  out << o.label << ": outcome " << o.outcome << ", matching " << o.isMatching << ", found " << o.lastSearchFound
      << ", rect (" << o.rect.left << "," << o.rect.top << "," << o.rect.right << "," << o.rect.bottom
      << "), matched [" << o.matched << "], selected {";
  for (int i : o.selected) out << i << " ";
  out << "}, focus " << o.focused << ", top " << o.topIndex << ", caret " << o.caretPosition << " [" << o.caretText
      << "]";
  return out.str();
}

std::vector<Observation> RunSteps(ViewProvider& views, const ViewhostProcess& host, bool tree,
                                  const std::vector<Step>& steps) {
  NoDictionary dictionary;
  QuietNotifier notifier;
  PatternBuilder builder(dictionary, notifier);
  CandidateSearch search(views, notifier, kTreeClasses);
  SearchOptions options;
  InputState state;
  state.targetView = ToViewHandle(tree ? host.Tree() : host.List());

  std::vector<Observation> observed;
  for (const Step& s : steps) {
    if (!s.keepMatching) state.isMatching = true;
    state.inputText = s.input.input;
    if (!s.input.regex.empty()) builder.CompilePattern(Utf8ToAnsi(s.input.regex), state, options);
    Observation o;
    o.label = s.label;
    std::string matched;
    o.outcome = static_cast<int>(search.SearchAndSelect(state, options, builder.pattern(), s.step, o.rect,
                                                        s.selectAll, s.selectAll ? nullptr : &matched,
                                                        s.includeCurrent));
    o.matched = matched;
    o.isMatching = state.isMatching;
    o.lastSearchFound = state.lastSearchFound;
    if (tree) {
      ObserveTree(host.Tree(), o);
    } else {
      ObserveList(host.List(), o);
    }
    observed.push_back(o);
  }
  return observed;
}

std::vector<std::string> VisibleTreeNames(HWND tree) {
  std::vector<std::string> names;
  auto view = OpenRemoteTree(tree);
  if (!view->OpenRecord()) return names;
  for (TreeItem item = view->NextItem(TreeRelation::Root, 0); item != 0 && names.size() < 10000;
       item = view->NextItem(TreeRelation::NextVisible, item)) {
    std::string name;
    view->ItemText(item, name);
    names.push_back(name);
  }
  return names;
}

std::string WriteNamesFile(const std::string& text, const wchar_t* stem, int number) {
  wchar_t directory[MAX_PATH];
  GetTempPathW(MAX_PATH, directory);
  wchar_t path[MAX_PATH];
  std::swprintf(path, MAX_PATH, L"%ls%ls-%lu-%d.txt", directory, stem, GetCurrentProcessId(), number);
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  char utf8[MAX_PATH * 3];
  WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof(utf8), nullptr, nullptr);
  return utf8;
}
