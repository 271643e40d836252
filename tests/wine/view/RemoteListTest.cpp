// The cross-process list view against viewhost in another process: texts in code page
// 932, states, rectangles, state changes and the check-box commands.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Win32Handles.h"
#include "tests/wine/common/StartMacros.h"
#include "tests/wine/common/ViewhostProcess.h"
#include "view/RemoteViews.h"
#include "view/ViewOps.h"
#include "view/WindowPath.h"

namespace {

const char kNames[] = "viewhost-names.txt";
const char kEight[] = "viewhost-eight.txt";

class CountingNotifier : public UserNotifier {
 public:
  void Beep() override { ++beeps; }
  void ShowMessage(ViewHandle, const std::string&, const std::string&, unsigned) override {}
  int beeps = 0;
};

std::vector<std::uint32_t> AllStates(ListView& list) {
  std::vector<std::uint32_t> states;
  int count = list.ItemCount();
  for (int i = 0; i < count; ++i) states.push_back(list.ItemState(i, 0xF003));
  return states;
}

std::vector<int> WithState(ListView& list, std::uint32_t mask) {
  std::vector<int> out;
  int count = list.ItemCount();
  for (int i = 0; i < count; ++i) {
    if (list.ItemState(i, mask)) out.push_back(i);
  }
  return out;
}

std::vector<int> Checked(ListView& list) {
  std::vector<int> out;
  int count = list.ItemCount();
  for (int i = 0; i < count; ++i) {
    if ((list.ItemState(i, kLvisStateImageMask) >> 12) == 2) out.push_back(i);
  }
  return out;
}

// The real calls, except that the item record read back from the view points pszText
// at `elsewhere`, as a control does that hands out text of its own.
class RedirectingMemory : public ProcessMemoryApi {
 public:
  RedirectingMemory(std::uint64_t elsewhere, int viewBits) : elsewhere_(elsewhere), bits_(viewBits) {}
  void* AllocLocal(DWORD size) override { return system_.AllocLocal(size); }
  void FreeLocal(void* block) override { system_.FreeLocal(block); }
  HANDLE OpenViewProcess(HWND view) override { return system_.OpenViewProcess(view); }
  std::uint64_t AllocRemote(HANDLE process, DWORD size) override { return block_ = system_.AllocRemote(process, size); }
  void FreeRemote(HANDLE process, std::uint64_t address) override { system_.FreeRemote(process, address); }
  void CloseProcess(HANDLE process) override { system_.CloseProcess(process); }
  bool Write(HANDLE process, std::uint64_t address, const void* data, DWORD size) override {
    return system_.Write(process, address, data, size);
  }
  bool Read(HANDLE process, std::uint64_t address, void* data, DWORD size) override {
    if (!system_.Read(process, address, data, size)) return false;
    if (address == block_) std::memcpy(static_cast<char*>(data) + (bits_ == 64 ? 24 : 20), &elsewhere_, bits_ / 8);
    return true;
  }

 private:
  ProcessMemoryApi& system_ = SystemProcessMemory();
  std::uint64_t elsewhere_;
  int bits_;
  std::uint64_t block_ = 0;
};

class RemoteListTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> args, const char* file = kNames) {
    args.insert(args.begin(), {"--list", TestDataPath(file)});
    ASSERT_TRUE(host.Start(args)) << host.Error();
    list = OpenRemoteList(host.List());
    ASSERT_TRUE(list);
    ASSERT_FALSE(list->Lost());
  }
  ViewhostProcess host;
  std::unique_ptr<ListView> list;
};

TEST_F(RemoteListTest, ReadsEveryNameInCodePage932) {
  ASSERT_STARTED(Start({}));
  std::vector<std::string> names = DataFileNames(kNames);
  ASSERT_EQ(list->ItemCount(), static_cast<int>(names.size()));
  ASSERT_TRUE(list->OpenRecord());
  std::string text;
  ASSERT_TRUE(list->ItemText(0, text));
  EXPECT_EQ(text, std::string("\x89\xEF\x8E\xD0.txt"));  // 会社.txt
  ASSERT_TRUE(list->ItemText(4, text));
  EXPECT_EQ(text, std::string("\xB6\xB2\xBC\xAC.txt"));  // ｶｲｼｬ.txt, half-width katakana
  ASSERT_TRUE(list->ItemText(5, text));
  EXPECT_EQ(text, std::string("\xC3\xBD\xC4\xCC\xA7\xB2\xD9.txt"));  // ﾃｽﾄﾌｧｲﾙ.txt
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    ASSERT_TRUE(list->ItemText(i, text)) << i;
    if (names[i].size() <= 259) {
      EXPECT_EQ(text, names[i]) << i;
    }
  }
}

TEST_F(RemoteListTest, LongNamesArriveCutTo259Bytes) {
  ASSERT_STARTED(Start({}));
  std::vector<std::string> names = DataFileNames(kNames);
  ASSERT_TRUE(list->OpenRecord());
  std::string text;
  ASSERT_EQ(names[7].size(), 300u);
  ASSERT_TRUE(list->ItemText(7, text));
  EXPECT_EQ(text, names[7].substr(0, 259));
  // 長い名前 repeated: the cut falls after a lead byte, and that half character goes.
  ASSERT_GT(names[8].size(), 259u);
  ASSERT_TRUE(list->ItemText(8, text));
  EXPECT_EQ(text, names[8].substr(0, 258));
}

TEST_F(RemoteListTest, TextOfAMissingItemOrWithoutRecordFailsWithoutLosingTheView) {
  ASSERT_STARTED(Start({}));
  std::string text = "stale";
  EXPECT_FALSE(list->ItemText(0, text));  // no record yet
  ASSERT_TRUE(list->OpenRecord());
  EXPECT_FALSE(list->ItemText(12, text));
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(list->ItemText(-5, text));
  EXPECT_FALSE(list->Lost());
  ASSERT_TRUE(list->ItemText(11, text));
  EXPECT_EQ(text, Utf8ToAnsi("テスト.txt"));
}

TEST_F(RemoteListTest, TextThatTheControlKeepsInItsOwnMemoryIsReadFromThere) {
  ASSERT_STARTED(Start({}));
  const std::string name = Utf8ToAnsi("別の場所にある名前.txt");
  SharedMemBase elsewhere(host.List(), 4096);
  ASSERT_TRUE(elsewhere.IsReady());
  std::memcpy(elsewhere.LocalBytes(), name.c_str(), name.size() + 1);
  ASSERT_TRUE(elsewhere.CopyToRemote());
  RedirectingMemory memory(elsewhere.RemoteAddress(), host.Bits());
  auto redirected = OpenRemoteList(host.List(), memory);
  ASSERT_TRUE(redirected->OpenRecord());
  std::string text;
  ASSERT_TRUE(redirected->ItemText(0, text));
  EXPECT_EQ(text, name);
  // Text that runs to the end of readable memory is read as far as it goes: one page
  // committed, the next one only reserved.
  UniqueKernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, host.Pid()));
  ASSERT_TRUE(process);
  auto* pages = static_cast<char*>(VirtualAllocEx(process.Get(), nullptr, 8192, MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  ASSERT_NE(VirtualAllocEx(process.Get(), pages, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
  const std::string tail(100, 'x');
  SIZE_T written = 0;
  ASSERT_TRUE(WriteProcessMemory(process.Get(), pages + 4096 - 100, tail.data(), 100, &written));
  RedirectingMemory nearEnd(reinterpret_cast<std::uintptr_t>(pages) + 4096 - 100, host.Bits());
  auto cut = OpenRemoteList(host.List(), nearEnd);
  ASSERT_TRUE(cut->OpenRecord());
  ASSERT_TRUE(cut->ItemText(0, text));
  EXPECT_EQ(text, tail);
  VirtualFreeEx(process.Get(), pages, 0, MEM_RELEASE);
}

TEST_F(RemoteListTest, StatesCountsAndStyleAsViewhostSetThem) {
  ASSERT_STARTED(Start({"--checked", "1,3", "--select", "0,2", "--focus", "2"}));
  EXPECT_EQ(list->SelectedCount(), 2);
  EXPECT_EQ(WithState(*list, kLvisSelected), (std::vector<int>{0, 2}));
  EXPECT_EQ(WithState(*list, kLvisFocused), std::vector<int>{2});
  EXPECT_EQ(Checked(*list), (std::vector<int>{1, 3}));
  EXPECT_EQ(list->ItemState(2, kLvisSelected), kLvisSelected);  // only the asked bits
  EXPECT_TRUE(HasCheckBoxes(*list));
}

TEST_F(RemoteListTest, LabelRectanglesAreRowsInClientCoordinates) {
  ASSERT_STARTED(Start({}));
  ASSERT_TRUE(list->OpenRecord());
  ItemRect first, second;
  ASSERT_TRUE(list->LabelRect(0, first));
  ASSERT_TRUE(list->LabelRect(1, second));
  EXPECT_GT(first.right, first.left);
  EXPECT_GT(first.bottom, first.top);
  EXPECT_GT(first.top, 0);  // below the header
  EXPECT_EQ(second.top, first.bottom);
  EXPECT_EQ(second.bottom - second.top, first.bottom - first.top);
  EXPECT_EQ(second.left, first.left);
  RECT client;
  GetClientRect(host.List(), &client);
  EXPECT_LT(first.left, client.right);
  EXPECT_FALSE(list->LabelRect(500, first));
}

TEST_F(RemoteListTest, EnsureVisibleScrollsTheItemIntoTheClientArea) {
  ASSERT_TRUE(host.Start({"--count", "400"})) << host.Error();
  list = OpenRemoteList(host.List());
  ASSERT_TRUE(list->OpenRecord());
  RECT client;
  GetClientRect(host.List(), &client);
  ItemRect rect;
  ASSERT_TRUE(list->LabelRect(399, rect));
  EXPECT_GT(rect.top, client.bottom);
  EXPECT_TRUE(list->EnsureVisible(399));
  ASSERT_TRUE(list->LabelRect(399, rect));
  EXPECT_LE(rect.bottom, client.bottom);
  EXPECT_GE(rect.top, 0);
}

TEST_F(RemoteListTest, SelectFocusAndDeselectOneByOneOrAllAtOnce) {
  ASSERT_STARTED(Start({"--select", "1,5,9"}));
  ASSERT_TRUE(list->OpenRecord());
  EXPECT_TRUE(list->SetItemState(3, kLvisSelected | kLvisFocused, kLvisSelected | kLvisFocused));
  EXPECT_EQ(WithState(*list, kLvisSelected), (std::vector<int>{1, 3, 5, 9}));
  EXPECT_EQ(WithState(*list, kLvisFocused), std::vector<int>{3});
  EXPECT_TRUE(list->SetItemState(5, 0, kLvisSelected));
  EXPECT_EQ(WithState(*list, kLvisSelected), (std::vector<int>{1, 3, 9}));
  // Index -1 changes every item, in one message.
  EXPECT_TRUE(list->SetItemState(kAllItems, 0, kLvisSelected));
  EXPECT_TRUE(WithState(*list, kLvisSelected).empty());
  EXPECT_EQ(list->SelectedCount(), 0);
  EXPECT_EQ(WithState(*list, kLvisFocused), std::vector<int>{3});  // focus left alone
  // The same record twice in a row, then a different one: each must take effect.
  EXPECT_TRUE(list->SetItemState(0, kLvisSelected, kLvisSelected));
  EXPECT_TRUE(list->SetItemState(2, kLvisSelected, kLvisSelected));
  EXPECT_TRUE(list->SetItemState(2, 0, kLvisSelected));
  EXPECT_EQ(WithState(*list, kLvisSelected), std::vector<int>{0});
  std::string text;
  ASSERT_TRUE(list->ItemText(0, text));  // a text read in between overwrites the record
  EXPECT_TRUE(list->SetItemState(4, kLvisSelected, kLvisSelected));
  EXPECT_EQ(WithState(*list, kLvisSelected), (std::vector<int>{0, 4}));
}

TEST_F(RemoteListTest, SpaceWithOneUncheckedAmongThreeSelectedChecksAllThenUnchecksAll) {
  ASSERT_STARTED(Start({"--checked", "2,6", "--select", "2,4,6"}, kEight));
  ToggleSelectedChecks(*list);
  EXPECT_EQ(Checked(*list), (std::vector<int>{2, 4, 6}));
  ToggleSelectedChecks(*list);
  EXPECT_TRUE(Checked(*list).empty());
  EXPECT_EQ(WithState(*list, kLvisSelected), (std::vector<int>{2, 4, 6}));
}

TEST_F(RemoteListTest, SpaceWithNothingSelectedActsOnTheFocusedItem) {
  ASSERT_STARTED(Start({"--checkboxes", "--focus", "4"}, kEight));
  ToggleSelectedChecks(*list);
  EXPECT_EQ(WithState(*list, kLvisSelected), std::vector<int>{4});
  EXPECT_EQ(Checked(*list), std::vector<int>{4});
}

TEST_F(RemoteListTest, SpaceWithNothingSelectedNorFocusedChangesNothing) {
  ASSERT_STARTED(Start({"--checked", "3"}, kEight));
  auto before = AllStates(*list);
  ASSERT_EQ(before.size(), 8u);
  ToggleSelectedChecks(*list);
  EXPECT_EQ(AllStates(*list), before);
}

TEST_F(RemoteListTest, SelectCheckedItemsSelectsExactlyTheCheckedOnes) {
  ASSERT_STARTED(Start({"--checked", "2,5", "--select", "0,7", "--focus", "7"}, kEight));
  CountingNotifier notifier;
  SelectCheckedItems(*list, notifier);
  EXPECT_EQ(notifier.beeps, 0);
  EXPECT_EQ(WithState(*list, kLvisSelected), (std::vector<int>{2, 5}));
  EXPECT_EQ(WithState(*list, kLvisFocused), std::vector<int>{5});
}

TEST_F(RemoteListTest, SelectCheckedItemsWithNothingCheckedBeepsOnce) {
  ASSERT_STARTED(Start({"--checkboxes", "--select", "1,6", "--focus", "6"}, kEight));
  auto before = AllStates(*list);
  CountingNotifier notifier;
  SelectCheckedItems(*list, notifier);
  EXPECT_EQ(notifier.beeps, 1);
  EXPECT_EQ(AllStates(*list), before);
}

TEST_F(RemoteListTest, ToggleCheckBoxesTwiceRestoresTheStyle) {
  ASSERT_STARTED(Start({}));
  const std::uint32_t style = list->ExtendedStyle();
  EXPECT_FALSE(style & kLvsExCheckBoxes);
  ToggleCheckBoxes(*list);
  EXPECT_EQ(list->ExtendedStyle(), style | kLvsExCheckBoxes);
  EXPECT_TRUE(HasCheckBoxes(*list));
  ToggleCheckBoxes(*list);
  EXPECT_EQ(list->ExtendedStyle(), style);
}

TEST_F(RemoteListTest, ProviderClassifiesTheViewsByClass) {
  ASSERT_STARTED(Start({"--tree", TestDataPath("viewhost-tree.txt")}));
  RemoteViewProvider views;
  static const char kTrees[] = "SysTreeView32\0";
  EXPECT_EQ(views.ClassName(ToViewHandle(host.List())), "SysListView32");
  EXPECT_FALSE(IsTreeView(views, ToViewHandle(host.List()), kTrees));
  EXPECT_TRUE(IsTreeView(views, ToViewHandle(host.Tree()), kTrees));
  EXPECT_EQ(views.ClassName(ToViewHandle(host.Main())), "CabinetWClass");
  auto opened = views.OpenList(ToViewHandle(host.List()));
  EXPECT_EQ(opened->ItemCount(), 12);
}

TEST_F(RemoteListTest, UpdateLockIsHeldFromLockUntilUnlock) {
  ASSERT_STARTED(Start({"--tree", TestDataPath("viewhost-tree.txt")}));
  // LockWindowUpdate holds one window at a time: while the view is held, no other
  // window can be; once it is let go, another can.
  auto provider = std::make_unique<RemoteViewProvider>();
  provider->LockUpdate(ToViewHandle(host.List()));
  EXPECT_FALSE(LockWindowUpdate(host.Tree()));
  provider->LockUpdate(ToViewHandle(host.Tree()));  // moves the lock to the tree
  EXPECT_FALSE(LockWindowUpdate(host.List()));
  provider->UnlockUpdate();
  ASSERT_TRUE(LockWindowUpdate(host.List()));
  LockWindowUpdate(nullptr);
  // A provider that goes away lets its lock go.
  provider->LockUpdate(ToViewHandle(host.List()));
  provider.reset();
  ASSERT_TRUE(LockWindowUpdate(host.Tree()));
  LockWindowUpdate(nullptr);
}

TEST_F(RemoteListTest, ViewhostTakesItsTitleClassAndFocusFromTheCommandLine) {
  ASSERT_STARTED(Start({"--title", "会社の資料", "--class", "ExploreWClass", "--focus-view", "tree"}));
  wchar_t title[64] = {};
  GetWindowTextW(host.Main(), title, 64);
  EXPECT_EQ(std::wstring(title), L"会社の資料");
  const std::string top = "ExploreWClass@会社の資料#" + std::to_string(host.Pid());
  EXPECT_EQ(FindWindowByClassPath(top + "/SHELLDLL_DefView/SysListView32"), host.List());
  EXPECT_EQ(FindWindowByClassPath(top + "/*/SysTreeView32"), host.Tree());
  EXPECT_EQ(FindWindowByClassPath("ExploreWClass@another title/SHELLDLL_DefView/SysListView32"), nullptr);
  EXPECT_EQ(FindWindowByClassPath(top + "/SHELLDLL_DefView/SysTreeView32"), nullptr);
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof(gui);
  ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(host.Main(), nullptr), &gui));
  EXPECT_EQ(gui.hwndFocus, host.Tree());
  EXPECT_EQ(GetForegroundWindow(), host.Main());
}

}  // namespace
