// The shell view reader against a real shell view (viewhost --shell: IExplorerBrowser on
// a folder of real files) in another process, with the real hook library. Wine's file
// pane is a SysListView32, named here in the shell view classes only: the same search
// steps then run once through the list messages and once through the shell's own
// interfaces, and must leave the same selection and focus. And the faults: a view that
// hangs, a view replaced in the middle of a step (the folder changed), a virtual folder,
// an empty folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tapline/Tapline.h"
#include "tests/wine/batch/BatchTestSupport.h"
#include "tests/wine/common/StartMacros.h"
#include "view/RemoteViews.h"

namespace {

const StepInput kKaisya{"kaisya", "会社|かいしゃ|カイシャ|kaisya"};
const StepInput kTesuto{"tesuto", "テスト"};
const StepInput kNothing{"zzqx", "zzqx"};
const std::vector<std::wstring> kFiles = {L"会社.txt", L"会社概要.doc", L"かいしゃ.txt", L"カイシャ.txt",
                                          L"ｶｲｼｬ.txt", L"ﾃｽﾄﾌｧｲﾙ.txt", L"readme.md", L"Abc.txt",
                                          L"報告書（最終）.pdf", L"テスト.txt"};
constexpr char kMyComputer[] = "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

std::vector<Step> Steps() {
  return {
      {"typed kaisya", kKaisya, 0},
      {"next", kKaisya, +1},
      {"next again", kKaisya, +1},
      {"previous", kKaisya, -1},
      {"select all", kKaisya, 0, true},
      {"typed tesuto", kTesuto, 0},
      {"no match", kNothing, 0},
      {"backspace: from the current item", kTesuto, -1, false, true},
      {"next tesuto", kTesuto, +1},
      {"literal re", {"re", ""}, 0},
      {"literal without a match", {"zz", ""}, 0},
  };
}

struct Silent : UserNotifier, Dictionary {
  void Beep() override {}
  void ShowMessage(ViewHandle, const std::string&, const std::string&, unsigned) override {}
  std::optional<std::string> Query(const std::string&, const char*) override { return std::nullopt; }
};

// One kaisya step on `pane` alone (nothing read back afterwards): its outcome and time.
StepOutcome StepOnce(ViewProvider& views, HWND pane, DWORD& elapsedMs) {
  Silent silent;
  PatternBuilder builder(silent, silent);
  CandidateSearch search(views, silent, "SysTreeView32\0");
  SearchOptions options;
  InputState state;
  state.targetView = ToViewHandle(pane);
  state.inputText = kKaisya.input;
  builder.CompilePattern(Utf8ToAnsi(kKaisya.regex), state, options);
  ItemRect rect;
  const DWORD start = GetTickCount();
  StepOutcome outcome = search.SearchAndSelect(state, options, builder.pattern(), 0, rect, false, nullptr, false);
  elapsedMs = GetTickCount() - start;
  return outcome;
}

std::string Narrow(const std::wstring& wide) {
  char text[MAX_PATH * 2] = {};
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text, sizeof(text), nullptr, nullptr);
  return text;
}

// A folder of its own with real (empty) files, last written an hour ago, as the folders
// users type in mostly are (the library trusts the IDs it keeps of such a folder for the
// keys of a word).
class Folder {
 public:
  explicit Folder(const std::wstring& tag, const std::vector<std::wstring>& files) : files_(files) {
    wchar_t name[96];
    wsprintfW(name, L"C:\\users\\Public\\kanasift-shell-%lu-%ls", GetCurrentProcessId(), tag.c_str());
    path_ = name;
    CreateDirectoryW(path_.c_str(), nullptr);
    for (const auto& file : files_) {
      HANDLE h = CreateFileW((path_ + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    HANDLE folder = CreateFileW(path_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder != INVALID_HANDLE_VALUE) {
      FILETIME now;
      GetSystemTimeAsFileTime(&now);
      ULARGE_INTEGER then = {{now.dwLowDateTime, now.dwHighDateTime}};
      then.QuadPart -= 3600ull * 10000000ull;
      const FILETIME written = {then.LowPart, then.HighPart};
      SetFileTime(folder, nullptr, nullptr, &written);
      CloseHandle(folder);
    }
  }
  // Files the test renamed, to be removed with the folder.
  void Add(const std::wstring& file) { files_.push_back(file); }
  ~Folder() {
    for (const auto& file : files_) DeleteFileW((path_ + L"\\" + file).c_str());
    RemoveDirectoryW(path_.c_str());
  }
  std::string Path() const { return Narrow(path_); }

 private:
  std::wstring path_;
  std::vector<std::wstring> files_;
};

// `count` file names from a wsprintf format with one number.
std::vector<std::wstring> NumberedFiles(const wchar_t* format, int count) {
  std::vector<std::wstring> files;
  for (int i = 0; i < count; ++i) {
    wchar_t name[64];
    wsprintfW(name, format, i);
    files.push_back(name);
  }
  return files;
}

// The shell view reader, with the pane's class among the shell view classes only.
std::unique_ptr<BatchViewProvider> ShellReader() {
  auto views = std::make_unique<BatchViewProvider>(std::make_unique<CountingViewReads>());
  views->SetShellViewClasses(std::string("SysListView32\0", 15), std::string("\0", 2));
  return views;
}

void DeselectAll(HWND list) {
  auto view = OpenRemoteList(list);
  if (view->OpenRecord()) view->SetItemState(kAllItems, 0, kLvisSelected);
}

// A list that runs `hook` once, at the walk's first selection change: the moment between
// reading the names and selecting the candidate.
class InterruptedList : public ListView {
 public:
  InterruptedList(std::unique_ptr<ListView> inner, std::function<void()> hook)
      : inner_(std::move(inner)), hook_(std::move(hook)) {}
  int ItemCount() override { return inner_->ItemCount(); }
  int SelectedCount() override { return inner_->SelectedCount(); }
  int FirstSelected() override { return inner_->FirstSelected(); }
  std::uint32_t ItemState(int i, std::uint32_t m) override { return inner_->ItemState(i, m); }
  std::uint32_t ExtendedStyle() override { return inner_->ExtendedStyle(); }
  void SetExtendedStyle(std::uint32_t s) override { inner_->SetExtendedStyle(s); }
  bool EnsureVisible(int i) override { return inner_->EnsureVisible(i); }
  bool OpenRecord() override { return inner_->OpenRecord(); }
  bool ItemText(int i, std::string& t) override { return inner_->ItemText(i, t); }
  bool SetItemState(int i, std::uint32_t s, std::uint32_t m) override {
    if (hook_) {
      hook_();
      hook_ = nullptr;
    }
    return inner_->SetItemState(i, s, m);
  }
  bool LabelRect(int i, ItemRect& r) override { return inner_->LabelRect(i, r); }
  bool Lost() const override { return inner_->Lost(); }
  bool ConfirmName(int i, const std::string& n) override { return inner_->ConfirmName(i, n); }
  bool ConfirmNone() override { return inner_->ConfirmNone(); }

 private:
  std::unique_ptr<ListView> inner_;
  std::function<void()> hook_;
};

class InterruptedProvider : public ViewProvider {
 public:
  InterruptedProvider(ViewProvider& inner, std::function<void()> hook) : inner_(inner), hook_(std::move(hook)) {}
  std::string ClassName(ViewHandle v) override { return inner_.ClassName(v); }
  std::unique_ptr<ListView> OpenList(ViewHandle v) override {
    return std::make_unique<InterruptedList>(inner_.OpenList(v), hook_);
  }
  std::unique_ptr<TreeView> OpenTree(ViewHandle v) override { return inner_.OpenTree(v); }
  void LockUpdate(ViewHandle v) override { inner_.LockUpdate(v); }
  void UnlockUpdate() override { inner_.UnlockUpdate(); }

 private:
  ViewProvider& inner_;
  std::function<void()> hook_;
};

// The visible file pane of the shell view in `main` (a new one after browsing).
BOOL CALLBACK CollectPane(HWND window, LPARAM param) {
  char name[64] = {};
  char parentName[64] = {};
  GetClassNameA(window, name, sizeof(name));
  GetClassNameA(GetParent(window), parentName, sizeof(parentName));
  if (std::string(name) == "SysListView32" && std::string(parentName) == "SHELLDLL_DefView" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindPane(HWND main) {
  HWND found = nullptr;
  EnumChildWindows(main, CollectPane, reinterpret_cast<LPARAM>(&found));
  return found;
}

class ShellViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(owner_.Install()) << "the hook could not be set";
    ASSERT_TRUE(Tapline::setShellViewClasses("SysListView32"));
  }

  void StartHost(ViewhostProcess& host, const std::string& folder, const std::string& other = "") {
    std::vector<std::string> args = {"--shell", folder};
    if (!other.empty()) args.insert(args.end(), {"--shell-other", other});
    ASSERT_TRUE(host.Start(args)) << host.Error();
    ASSERT_TRUE(LoadHookLibraryInto(host)) << "the hook library did not come into viewhost";
  }

  HookOwner owner_;
};

TEST_F(ShellViewTest, StepsThroughTheShellEndAsStepsThroughTheListMessages) {
  Folder folder(L"steps", kFiles);
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, folder.Path()));
  ASSERT_EQ(OpenRemoteList(host.List())->ItemCount(), static_cast<int>(kFiles.size()));

  DeselectAll(host.List());
  RemoteViewProvider listMessages;
  auto byList = RunSteps(listMessages, host, false, Steps());
  DeselectAll(host.List());
  auto views = ShellReader();
  auto byShell = RunSteps(*views, host, false, Steps());

  ASSERT_EQ(byList.size(), byShell.size());
  for (std::size_t i = 0; i < byList.size(); ++i) {
    const Observation& l = byList[i];
    const Observation& s = byShell[i];
    EXPECT_TRUE(l.outcome == s.outcome && l.selected == s.selected && l.focused == s.focused &&
                l.isMatching == s.isMatching && l.lastSearchFound == s.lastSearchFound && l.matched == s.matched)
        << "list:  " << Describe(l) << "\nshell: " << Describe(s);
  }
  // Both could be wrong alike: a few of the expected results, by name.
  std::vector<std::string> shown;
  auto pane = OpenRemoteList(host.List());
  ASSERT_TRUE(pane->OpenRecord());
  for (int i = 0; i < pane->ItemCount(); ++i) {
    std::string text;
    pane->ItemText(i, text);
    shown.push_back(text);
  }
  auto nameAt = [&](const Observation& o) { return o.selected.size() == 1 ? shown[o.selected[0]] : std::string(); };
  EXPECT_EQ(byShell[0].outcome, static_cast<int>(StepOutcome::Found));
  EXPECT_EQ(byShell[4].selected.size(), 5u) << "select-all: 会社, 会社概要, かいしゃ, カイシャ, ｶｲｼｬ and nothing else";
  EXPECT_EQ(byShell[4].focused, byShell[4].selected.back());
  std::string firstTesuto;
  for (const std::string& name : shown) {
    if (name == Utf8ToAnsi("テスト.txt") || name == Utf8ToAnsi("ﾃｽﾄﾌｧｲﾙ.txt")) {
      firstTesuto = name;
      break;
    }
  }
  EXPECT_EQ(nameAt(byShell[5]), firstTesuto) << "the first tesuto candidate in the view's order";
  EXPECT_FALSE(byShell[6].isMatching);
  EXPECT_EQ(nameAt(byShell[9]), "readme.md");
  EXPECT_EQ(byShell[10].outcome, static_cast<int>(StepOutcome::NotFound));

  // Every step was served by the library's answers, no name read any other way.
  const BatchCounters& c = views->Counters();
  EXPECT_GT(c.answers, 0u);
  EXPECT_EQ(c.fallbacks, 0u);
  EXPECT_EQ(c.perItemNames, 0u);
  EXPECT_EQ(c.lost, 0u);
}

std::vector<std::string> PaneNames(HWND pane) {
  std::vector<std::string> names;
  auto list = OpenRemoteList(pane);
  if (!list->OpenRecord()) return names;
  for (int i = 0, n = list->ItemCount(); i < n; ++i) {
    std::string text;
    list->ItemText(i, text);
    names.push_back(text);
  }
  return names;
}

// A step goes on from the selected item. Where one item is selected and another has the
// focus, the cheap way to the selection (one selected and focused item) must not be taken.
TEST_F(ShellViewTest, NextGoesOnFromTheSelectedItemWhenAnotherHasTheFocus) {
  Folder folder(L"focus", kFiles);
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, folder.Path()));
  const std::vector<std::string> shown = PaneNames(host.List());
  ASSERT_EQ(shown.size(), kFiles.size());
  const std::vector<std::string> kaisya = {Utf8ToAnsi("会社.txt"), Utf8ToAnsi("会社概要.doc"),
                                           Utf8ToAnsi("かいしゃ.txt"), Utf8ToAnsi("カイシャ.txt"),
                                           Utf8ToAnsi("ｶｲｼｬ.txt")};
  auto at = [&](const std::string& name) { return static_cast<int>(std::find(shown.begin(), shown.end(), name) - shown.begin()); };
  auto nextCandidate = [&](int from) {
    for (std::size_t k = 1; k <= shown.size(); ++k) {
      const int i = static_cast<int>((from + k) % shown.size());
      if (std::find(kaisya.begin(), kaisya.end(), shown[i]) != kaisya.end()) return i;
    }
    return -1;
  };
  const int selected = at(kaisya[0]);
  const int focused = at("readme.md");
  ASSERT_NE(nextCandidate(selected), nextCandidate(focused)) << "the two starting points must lead apart";

  auto views = ShellReader();
  for (bool twice : {false, true}) {
    DeselectAll(host.List());
    auto pane = OpenRemoteList(host.List());
    ASSERT_TRUE(pane->OpenRecord());
    pane->SetItemState(focused, kLvisFocused, kLvisFocused);
    pane->SetItemState(selected, kLvisSelected, kLvisSelected);
    const auto seen = RunSteps(*views, host, false, {{"next", kKaisya, +1}});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].selected, std::vector<int>{nextCandidate(selected)}) << (twice ? "kept IDs: " : "") << Describe(seen[0]);
  }
}

// Names are kept by the item, not by its place: after the view was sorted the other way
// round no name is read through the shell again, and the step selects the first
// candidate of the new order.
TEST_F(ShellViewTest, ASortedViewKeepsItsNamesAndIsSearchedInItsNewOrder) {
  Folder folder(L"sort", kFiles);
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, folder.Path()));
  auto views = ShellReader();
  // A first step that matches nothing reads every name (one that finds its candidate may
  // end before the last ones, when the shell is slow to name the first).
  ASSERT_EQ(RunSteps(*views, host, false, {{"cold", kNothing, 0}})[0].outcome, static_cast<int>(StepOutcome::NotFound));
  EXPECT_EQ(views->Counters().shellNamesRead, kFiles.size()) << "the first step reads every name";

  const std::vector<std::string> before = PaneNames(host.List());
  for (int click = 0; click < 2 && PaneNames(host.List()) == before; ++click) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(host.Main(), WM_APP + 3, 0, 0, SMTO_BLOCK, 5000, &ignored);
  }
  const std::vector<std::string> after = PaneNames(host.List());
  ASSERT_NE(after, before) << "the view did not sort";
  ASSERT_EQ(after.front(), before.back()) << "the other way round";

  DeselectAll(host.List());
  auto steps = RunSteps(*views, host, false, {{"sorted", kKaisya, 0}});
  ASSERT_EQ(steps[0].selected.size(), 1u);
  std::size_t first = after.size();
  for (std::size_t i = 0; i < after.size() && first == after.size(); ++i) {
    if (after[i].rfind(Utf8ToAnsi("会社"), 0) == 0 || after[i].rfind(Utf8ToAnsi("かいしゃ"), 0) == 0 ||
        after[i].rfind(Utf8ToAnsi("カイシャ"), 0) == 0 || after[i].rfind(Utf8ToAnsi("ｶｲｼｬ"), 0) == 0) {
      first = i;
    }
  }
  EXPECT_EQ(steps[0].selected[0], static_cast<int>(first)) << "the first candidate of the new order";
  EXPECT_EQ(views->Counters().shellNamesRead, kFiles.size()) << "no name was read again";
}

// A step that finds its candidate among the first names leaves the rest unread; they are
// read on in the background, so that a step going through every name later reads none.
TEST_F(ShellViewTest, NamesAStepLeftUnreadAreReadOnInTheBackground) {
  const std::vector<std::wstring> files = NumberedFiles(L"file_%04d.txt", 1200);
  Folder folder(L"on", files);
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, folder.Path()));
  auto views = ShellReader();
  ASSERT_EQ(RunSteps(*views, host, false, {{"first names", {"fi", ""}, 0}})[0].outcome,
            static_cast<int>(StepOutcome::Found));
  const unsigned readByTheStep = views->Counters().shellNamesRead;
  ASSERT_LT(readByTheStep, files.size()) << "the step stopped the read at its candidate";
  EXPECT_TRUE(views->ReadingOn());
  EXPECT_EQ(views->Counters().readsOn, 1u);

  const DWORD start = GetTickCount();
  while (views->ContinueReadingOn() && GetTickCount() - start < 30000) Sleep(BatchViewProvider::kReadOnTickMs);
  EXPECT_FALSE(views->ReadingOn());

  auto whole = RunSteps(*views, host, false, {{"every name", {"zz", ""}, 0}});
  EXPECT_EQ(whole[0].outcome, static_cast<int>(StepOutcome::NotFound));
  EXPECT_EQ(views->Counters().shellNamesRead, readByTheStep) << "every other name was read in the background";
  EXPECT_EQ(views->Counters().readsOn, 1u) << "nothing left to read on";
  EXPECT_EQ(views->Counters().lost, 0u);
}

// The keys of a word are served from the kept IDs without taking every one anew; a rename
// in the view (the count stays the same, and the renamed item is none of the places the
// library compares) is seen at the very next key, from the folder's write.
TEST_F(ShellViewTest, TheKeysOfAWordUseTheKeptIdsUntilTheFolderChanges) {
  const std::vector<std::wstring> files = NumberedFiles(L"memo_%02d.txt", 60);
  Folder folder(L"trust", files);
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, folder.Path()));
  auto views = ShellReader();
  const StepInput kaimei{"kaimei", "改名"};
  auto word = RunSteps(*views, host, false, {{"first key", kaimei, 0}, {"next key", kaimei, 0}});
  EXPECT_EQ(word[1].outcome, static_cast<int>(StepOutcome::NotFound));
  ASSERT_EQ(views->Counters().idsTrusted, 1u) << "the second key used the IDs the first one took";

  // memo_01.txt: the second item, between the first two places compared.
  DWORD_PTR renamed = 0;
  ASSERT_TRUE(SendMessageTimeoutA(host.Main(), WM_APP + 4, 1, 0, SMTO_BLOCK, 5000, &renamed) && renamed);
  folder.Add(L"改名-memo_01.txt");
  const std::string shown = Utf8ToAnsi("改名-memo_01.txt");
  std::vector<std::string> names;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(20)) {
    names = PaneNames(host.List());
    if (std::find(names.begin(), names.end(), shown) != names.end()) break;
  }
  if (std::find(names.begin(), names.end(), shown) == names.end() && sizeof(void*) == 4) {
    // Measured: 32-bit Wine 8's shell view takes the rename and then shows the next
    // item's name in the renamed one's place; nothing of ours is involved in that.
    GTEST_SKIP() << "the 32-bit shell view of this Wine does not show a rename it was told of";
  }
  ASSERT_NE(std::find(names.begin(), names.end(), shown), names.end()) << "the view did not show the new name";
  ASSERT_EQ(names.size(), files.size());

  auto after = RunSteps(*views, host, false, {{"key after the rename", kaimei, 0}});
  ASSERT_EQ(after[0].outcome, static_cast<int>(StepOutcome::Found));
  ASSERT_EQ(after[0].selected.size(), 1u);
  EXPECT_EQ(names[after[0].selected[0]], shown);
  EXPECT_EQ(views->Counters().idsTrusted, 1u) << "every ID was taken anew after the folder was written";
}

// After the keys of a word, the IDs are taken again in the background as the library's
// trust in them ends (the program's timers, run here by hand): a key after a pause longer
// than that trust is still served from the kept IDs.
TEST_F(ShellViewTest, AKeyAfterAPauseFindsTheIdsKeptWarm) {
  Folder folder(L"warm", NumberedFiles(L"memo_%02d.txt", 60));
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, folder.Path()));
  auto views = ShellReader();
  RunSteps(*views, host, false, {{"first key", kNothing, 0}, {"next key", kNothing, 0}});
  ASSERT_EQ(views->Counters().idsTrusted, 1u) << "the second key used the IDs the first one took";
  EXPECT_GT(views->KeepWarmDelay(), 1000u) << "not due before the trust ends";

  const DWORD pause = BatchViewProvider::kIdsTrustedMs + 500;
  for (const DWORD start = GetTickCount(); GetTickCount() - start < pause; Sleep(10)) {
    if (views->ReadingOn()) {
      views->ContinueReadingOn();
    } else if (views->KeepWarmDelay() == 1) {
      views->KeepWarm();
    }
  }
  EXPECT_EQ(views->Counters().keptWarm, 1u) << "once in the pause";
  RunSteps(*views, host, false, {{"key after the pause", kNothing, 0}});
  EXPECT_EQ(views->Counters().idsTrusted, 2u) << "the key after the pause used the IDs taken in the background";
}

TEST_F(ShellViewTest, AHungViewEndsTheStepWithinTheBoundAndServesAgainAfterwards) {
  Folder folder(L"hang", kFiles);
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, folder.Path()));
  auto views = ShellReader();
  ASSERT_EQ(RunSteps(*views, host, false, {{"warm", kKaisya, 0}})[0].outcome, static_cast<int>(StepOutcome::Found));

  DeselectAll(host.List());
  ASSERT_TRUE(host.Hang(4000));
  Sleep(100);
  DWORD elapsed = 0;
  EXPECT_EQ(StepOnce(*views, host.List(), elapsed), StepOutcome::Lost);
  EXPECT_LT(elapsed, 2000u) << "bounded like one message of the per-item reader";

  Sleep(4500);
  auto after = RunSteps(*views, host, false, {{"after", kKaisya, 0}});
  EXPECT_EQ(after[0].outcome, static_cast<int>(StepOutcome::Found));
  EXPECT_EQ(after[0].selected.size(), 1u);
}

TEST_F(ShellViewTest, AViewReplacedInTheMiddleOfAStepLosesTheStep) {
  Folder folder(L"first", kFiles);
  Folder other(L"other", {L"会社案内.txt", L"notes.txt"});
  ViewhostProcess host;
  ASSERT_STARTED(StartHost(host, folder.Path(), other.Path()));
  auto shell = ShellReader();
  const HWND firstPane = host.List();
  // Between reading the names and selecting, the view browses to another folder: the
  // pane the names came from is gone.
  InterruptedProvider views(*shell, [&] {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(host.Main(), WM_APP + 2, 1, 0, SMTO_BLOCK, 5000, &ignored);
  });
  auto interrupted = RunSteps(views, host, false, {{"interrupted", kKaisya, 0}});
  EXPECT_EQ(interrupted[0].outcome, static_cast<int>(StepOutcome::Lost));

  HWND pane = FindPane(host.Main());
  ASSERT_NE(pane, nullptr);
  EXPECT_NE(pane, firstPane) << "the shell made a new pane for the other folder";
  auto list = OpenRemoteList(pane);
  int selected = list->SelectedCount();
  EXPECT_EQ(selected, 0) << "nothing was selected in the folder the names did not come from";

  // The new pane is served from the start.
  DWORD elapsed = 0;
  EXPECT_EQ(StepOnce(*shell, pane, elapsed), StepOutcome::Found);
  EXPECT_EQ(list->SelectedCount(), 1);
}

TEST_F(ShellViewTest, AVirtualFolderAndAnEmptyFolderAreServedWithoutHarm) {
  {
    ViewhostProcess host;
    ASSERT_STARTED(StartHost(host, kMyComputer));
    auto pane = OpenRemoteList(host.List());
    ASSERT_TRUE(pane->OpenRecord());
    ASSERT_GT(pane->ItemCount(), 0);
    std::string last;
    pane->ItemText(pane->ItemCount() - 1, last);
    ASSERT_FALSE(last.empty());
    // The shown name of the last item, typed literally: found through the shell's names.
    auto views = ShellReader();
    auto steps = RunSteps(*views, host, false, {{"literal", {last.substr(0, 2), ""}, 0}});
    EXPECT_EQ(steps[0].outcome, static_cast<int>(StepOutcome::Found)) << last;
    ASSERT_EQ(steps[0].selected.size(), 1u);
  }
  {
    Folder empty(L"empty", {});
    ViewhostProcess host;
    ASSERT_STARTED(StartHost(host, empty.Path()));
    auto views = ShellReader();
    auto steps = RunSteps(*views, host, false, {{"typed", kKaisya, 0}, {"literal", {"ab", ""}, 0}});
    EXPECT_EQ(steps[0].outcome, static_cast<int>(StepOutcome::NotFound));
    EXPECT_FALSE(steps[0].isMatching) << "an empty view fails an expanded input, as a list view does";
    EXPECT_EQ(steps[1].outcome, static_cast<int>(StepOutcome::NotFound));
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
