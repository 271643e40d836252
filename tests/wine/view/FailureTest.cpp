// Views that are not there, go away or stop answering, and mirrored blocks whose
// acquisition fails part-way: no crash, nothing left behind in either process.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/wine/common/StartMacros.h"
#include "tests/wine/common/ViewhostProcess.h"
#include "view/ItemRecords.h"
#include "view/RemoteViews.h"
#include "view/SharedMem.h"
#include "view/ViewChannel.h"
#include "view/ViewOps.h"

namespace {

HWND NotAWindow() { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7FFE1234)); }

// The handles this process holds open. GetProcessHandleCount answers 0 under Wine, so
// the handle table is walked instead: every value that names an open handle counts.
DWORD HandleCount() {
  DWORD count = 0;
  for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

// Committed private read-write memory of a process, in bytes.
std::uint64_t CommittedPrivateBytes(DWORD pid) {
  UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return 0;
  std::uint64_t total = 0;
  MEMORY_BASIC_INFORMATION info;
  std::uintptr_t address = 0;
  while (VirtualQueryEx(process.Get(), reinterpret_cast<void*>(address), &info, sizeof(info)) == sizeof(info)) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE && info.Protect == PAGE_READWRITE) total += info.RegionSize;
    std::uintptr_t next = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

// The real calls, recorded, with one acquisition step made to fail.
class RecordingMemory : public ProcessMemoryApi {
 public:
  enum Step { kNone, kLocal, kOpen, kRemote };
  explicit RecordingMemory(Step failing = kNone) : failing_(failing) {}

  void* AllocLocal(DWORD size) override {
    calls.push_back("alloc-local");
    return failing_ == kLocal ? nullptr : system_.AllocLocal(size);
  }
  void FreeLocal(void* block) override {
    calls.push_back("free-local");
    system_.FreeLocal(block);
  }
  HANDLE OpenViewProcess(HWND view) override {
    calls.push_back("open");
    return failing_ == kOpen ? nullptr : system_.OpenViewProcess(view);
  }
  std::uint64_t AllocRemote(HANDLE process, DWORD size) override {
    calls.push_back("alloc-remote");
    return failing_ == kRemote ? 0 : system_.AllocRemote(process, size);
  }
  void FreeRemote(HANDLE process, std::uint64_t address) override {
    calls.push_back("free-remote");
    system_.FreeRemote(process, address);
  }
  void CloseProcess(HANDLE process) override {
    calls.push_back("close");
    system_.CloseProcess(process);
  }
  bool Write(HANDLE process, std::uint64_t address, const void* data, DWORD size) override {
    calls.push_back("write");
    return system_.Write(process, address, data, size);
  }
  bool Read(HANDLE process, std::uint64_t address, void* data, DWORD size) override {
    calls.push_back("read");
    return system_.Read(process, address, data, size);
  }

  std::vector<std::string> calls;

 private:
  Step failing_;
  ProcessMemoryApi& system_ = SystemProcessMemory();
};

using Calls = std::vector<std::string>;

class FailureTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--list", TestDataPath("viewhost-names.txt"), "--tree", TestDataPath("viewhost-tree.txt")});
    ASSERT_TRUE(host.Start(args)) << host.Error();
  }
  ViewhostProcess host;
};

TEST_F(FailureTest, AcquisitionReleasesOnlyWhatItObtainedInOrder) {
  ASSERT_STARTED(Start());
  {
    RecordingMemory memory(RecordingMemory::kLocal);
    { SharedMemT<records::ListItem32> block(host.List(), 300, memory); EXPECT_FALSE(block.IsReady()); }
    EXPECT_EQ(memory.calls, (Calls{"alloc-local"}));
  }
  {
    RecordingMemory memory(RecordingMemory::kOpen);
    { SharedMemT<records::ListItem32> block(host.List(), 300, memory); EXPECT_FALSE(block.IsReady()); }
    EXPECT_EQ(memory.calls, (Calls{"alloc-local", "open", "free-local"}));
  }
  {
    RecordingMemory memory(RecordingMemory::kRemote);
    {
      SharedMemT<records::ListItem32> block(host.List(), 300, memory);
      EXPECT_FALSE(block.IsReady());
      EXPECT_FALSE(block.CopyToRemote());
      EXPECT_FALSE(block.CopyFromRemote());
    }
    EXPECT_EQ(memory.calls, (Calls{"alloc-local", "open", "alloc-remote", "free-local", "close"}));
  }
  {
    RecordingMemory memory;
    { SharedMemT<records::ListItem32> block(host.List(), 300, memory); EXPECT_TRUE(block.IsReady()); }
    EXPECT_EQ(memory.calls, (Calls{"alloc-local", "open", "alloc-remote", "free-local", "free-remote", "close"}));
  }
}

TEST_F(FailureTest, AViewWhoseRecordCannotBeMadeSendsNoItemMessage) {
  ASSERT_STARTED(Start({"--select", "0"}));
  RecordingMemory memory(RecordingMemory::kRemote);
  auto list = OpenRemoteList(host.List(), memory);
  EXPECT_FALSE(list->OpenRecord());
  std::string text;
  EXPECT_FALSE(list->ItemText(0, text));
  EXPECT_FALSE(list->SetItemState(0, 0, kLvisSelected));
  ItemRect rect;
  EXPECT_FALSE(list->LabelRect(0, rect));
  EXPECT_EQ(list->SelectedCount(), 1);  // nothing was deselected
  EXPECT_FALSE(list->Lost());
  for (const auto& call : memory.calls) EXPECT_TRUE(call != "write" && call != "read") << call;
}

TEST_F(FailureTest, AFreshLocalCopyIsAllZero) {
  ASSERT_STARTED(Start());
  SharedMemT<records::TreeItem64> block(host.List(), 324);
  ASSERT_TRUE(block.IsReady());
  for (DWORD i = 0; i < block.Size(); ++i) ASSERT_EQ(block.LocalBytes()[i], 0) << i;
  // And so is the remote copy the control would see.
  std::memset(block.LocalBytes(), 0xAB, block.Size());
  ASSERT_TRUE(block.CopyFromRemote());
  for (DWORD i = 0; i < block.Size(); ++i) ASSERT_EQ(block.LocalBytes()[i], 0) << i;
}

TEST_F(FailureTest, AHandleThatIsNotAWindow) {
  ASSERT_FALSE(IsWindow(NotAWindow()));
  auto list = OpenRemoteList(NotAWindow());
  EXPECT_TRUE(list->Lost());
  EXPECT_EQ(list->ItemCount(), 0);
  EXPECT_FALSE(list->OpenRecord());
  std::string text;
  EXPECT_FALSE(list->ItemText(0, text));
  auto tree = OpenRemoteTree(NotAWindow());
  EXPECT_TRUE(tree->Lost());
  EXPECT_EQ(tree->NextItem(TreeRelation::Root, 0), 0u);
  EXPECT_FALSE(tree->OpenRecord());
  SharedMemT<records::ListItem32> block(NotAWindow(), 300);
  EXPECT_FALSE(block.IsReady());
  RemoteViewProvider views;
  EXPECT_EQ(views.ClassName(ToViewHandle(NotAWindow())), "");
  static const char kTrees[] = "SysTreeView32\0";
  EXPECT_FALSE(IsTreeView(views, ToViewHandle(NotAWindow()), kTrees));
  views.LockUpdate(ToViewHandle(NotAWindow()));
  views.UnlockUpdate();
}

TEST_F(FailureTest, AViewWhoseProcessExitedBeforeItWasOpened) {
  ASSERT_STARTED(Start());
  HWND oldList = host.List();
  HWND oldTree = host.Tree();
  host.Kill();
  auto list = OpenRemoteList(oldList);
  EXPECT_TRUE(list->Lost());
  EXPECT_FALSE(list->OpenRecord());
  EXPECT_EQ(list->ItemCount(), 0);
  class Silent : public UserNotifier {
   public:
    void Beep() override { ++beeps; }
    void ShowMessage(ViewHandle, const std::string&, const std::string&, unsigned) override {}
    int beeps = 0;
  } notifier;
  SelectCheckedItems(*list, notifier);
  ToggleSelectedChecks(*list);
  ToggleCheckBoxes(*list);
  EXPECT_EQ(notifier.beeps, 0);
  auto tree = OpenRemoteTree(oldTree);
  EXPECT_TRUE(tree->Lost());
  EXPECT_FALSE(tree->OpenRecord());
}

TEST_F(FailureTest, AViewWhoseProcessExitsWhileItIsOpen) {
  ASSERT_STARTED(Start());
  auto list = OpenRemoteList(host.List());
  auto tree = OpenRemoteTree(host.Tree());
  ASSERT_TRUE(list->OpenRecord());
  ASSERT_TRUE(tree->OpenRecord());
  std::string text;
  ASSERT_TRUE(list->ItemText(0, text));
  TreeItem root = tree->NextItem(TreeRelation::Root, 0);
  ASSERT_NE(root, 0u);
  const DWORD handles = HandleCount();
  host.Kill();
  EXPECT_FALSE(list->ItemText(1, text));
  EXPECT_TRUE(list->Lost());
  EXPECT_FALSE(list->SetItemState(0, 0, kLvisSelected));
  EXPECT_FALSE(tree->ItemText(root, text));
  EXPECT_TRUE(tree->Lost());
  list.reset();
  tree.reset();
  EXPECT_LT(HandleCount(), handles);  // both process handles are closed
}

TEST_F(FailureTest, AHungViewLosesTheViewAfterOneBoundedWaitAndKeepsItsProcessSafe) {
  ASSERT_STARTED(Start());
  RecordingMemory memory;
  auto list = OpenRemoteList(host.List(), memory);
  ASSERT_TRUE(list->OpenRecord());
  std::string text;
  ASSERT_TRUE(list->ItemText(0, text));

  ASSERT_TRUE(host.Hang(2000));
  Sleep(100);  // let the window thread fall asleep
  DWORD start = GetTickCount();
  EXPECT_FALSE(list->ItemText(1, text));
  DWORD waited = GetTickCount() - start;
  EXPECT_TRUE(list->Lost());
  EXPECT_GE(waited + 50, kViewAnswerTimeoutMs);
  // Lost: nothing more is sent, so none of these waits.
  start = GetTickCount();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(list->ItemCount(), 0);
    EXPECT_FALSE(list->ItemText(i, text));
  }
  EXPECT_LT(GetTickCount() - start, kViewAnswerTimeoutMs);
  list.reset();
  // Windows still delivers a message whose wait timed out once the view's thread wakes
  // up, and the control would write into the block: it is left to the view's process.
  EXPECT_EQ(std::count(memory.calls.begin(), memory.calls.end(), "free-remote"), 0);
  EXPECT_EQ(memory.calls.back(), "close");

  // Wait for the window thread to wake up and work off what it was sent meanwhile.
  DWORD_PTR ignored = 0;
  ASSERT_NE(SendMessageTimeoutA(host.Main(), WM_NULL, 0, 0, SMTO_BLOCK, 10000, &ignored), 0);
  ASSERT_TRUE(host.Running());
  auto again = OpenRemoteList(host.List());
  ASSERT_TRUE(again->OpenRecord());
  ASSERT_TRUE(again->ItemText(0, text));
  EXPECT_EQ(text, std::string("\x89\xEF\x8E\xD0.txt"));
}

TEST_F(FailureTest, ThousandsOfOperationsLeaveNoHandleAndNoRemoteBlockBehind) {
  ASSERT_STARTED(Start());
  HWND list = host.List();
  HWND tree = host.Tree();
  std::string text;
  // Warm up: first calls may allocate lasting things of the system's own.
  for (int i = 0; i < 20; ++i) {
    auto view = OpenRemoteList(list);
    view->OpenRecord();
    view->ItemText(0, text);
  }
  const DWORD handles = HandleCount();
  const std::uint64_t remoteBytes = CommittedPrivateBytes(host.Pid());
  ASSERT_GT(remoteBytes, 0u);

  for (int i = 0; i < 1000; ++i) {
    auto view = OpenRemoteList(list);
    ASSERT_TRUE(view->OpenRecord());
    ASSERT_TRUE(view->ItemText(i % 12, text));
    view->SetItemState(i % 12, 0, kLvisSelected);
  }
  for (int i = 0; i < 300; ++i) {
    auto view = OpenRemoteTree(tree);
    ASSERT_TRUE(view->OpenRecord());
    ASSERT_TRUE(view->ItemText(view->NextItem(TreeRelation::Root, 0), text));
  }
  for (int i = 0; i < 1000; ++i) {
    auto view = OpenRemoteList(NotAWindow());
    EXPECT_FALSE(view->OpenRecord());
    RecordingMemory failing(i % 2 ? RecordingMemory::kRemote : RecordingMemory::kOpen);
    SharedMemT<records::ListItem32> block(list, 300, failing);
    EXPECT_FALSE(block.IsReady());
  }
  EXPECT_EQ(HandleCount(), handles);
  // 1,300 forgotten blocks would be over 5 MB of committed pages in viewhost.
  const std::uint64_t after = CommittedPrivateBytes(host.Pid());
  EXPECT_LT(after, remoteBytes + 1024 * 1024) << remoteBytes << " -> " << after;

  // And views of a process that is gone.
  host.Kill();
  const DWORD handlesBeforeDead = HandleCount();
  for (int i = 0; i < 1000; ++i) {
    auto view = OpenRemoteList(list);
    EXPECT_FALSE(view->OpenRecord());
  }
  EXPECT_EQ(HandleCount(), handlesBeforeDead);
}

}  // namespace
