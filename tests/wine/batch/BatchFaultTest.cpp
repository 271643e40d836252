// The batch reader when things go wrong: the view's process killed or hung while a
// request is pending, a requester that dies mid-request, and malformed requests written
// by hand into the shared mapping. Nothing may hang beyond the bound, crash viewhost or
// write outside the capacity a request names, and the view must go on working.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/OwnObjects.h"
#include "platform/Win32Handles.h"
#include "tapline/Tapline.h"
#include "tests/wine/batch/BatchTestSupport.h"
#include "tests/wine/common/StartMacros.h"
#include "view/RemoteViews.h"

namespace {

constexpr char kRequesterExits[] = "--requester-exits";
const StepInput kKaisya{"kaisya", "会社|かいしゃ|カイシャ|kaisya"};
constexpr std::uint8_t kGuard = 0xCD;

std::uint64_t HandleValue(HWND window) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window)); }

DWORD Since(DWORD start) { return GetTickCount() - start; }

// One search step on the list view; its outcome and how long it took.
StepOutcome StepOnce(ViewProvider& views, const ViewhostProcess& host, DWORD& elapsedMs) {
  struct Silent : UserNotifier, Dictionary {
    void Beep() override {}
    void ShowMessage(ViewHandle, const std::string&, const std::string&, unsigned) override {}
    std::optional<std::string> Query(const std::string&, const char*) override { return std::nullopt; }
  } silent;
  PatternBuilder builder(silent, silent);
  CandidateSearch search(views, silent, "SysTreeView32\0");
  SearchOptions options;
  InputState state;
  state.targetView = ToViewHandle(host.List());
  state.inputText = kKaisya.input;
  builder.CompilePattern(Utf8ToAnsi(kKaisya.regex), state, options);
  ItemRect rect;
  std::string matched;
  const DWORD start = GetTickCount();
  StepOutcome outcome = search.SearchAndSelect(state, options, builder.pattern(), 0, rect, false, &matched, false);
  elapsedMs = Since(start);
  return outcome;
}

bool WaitUntilAnswering(HWND window, DWORD ms) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, ms, &ignored) != 0;
}

class BatchFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(owner_.Install()) << "the hook could not be set"; }

  void StartServedHost() {
    ASSERT_TRUE(host_.Start({"--list", TestDataPath("viewhost-names.txt")})) << host_.Error();
    ASSERT_TRUE(LoadHookLibraryInto(host_)) << "the hook library did not come into viewhost";
  }

  HookOwner owner_;
  ViewhostProcess host_;
};

TEST_F(BatchFaultTest, AViewKilledWhileARequestIsPendingEndsTheStepAtOnce) {
  ASSERT_STARTED(StartServedHost());
  ASSERT_TRUE(host_.Hang(5000));
  HANDLE process = host_.Process();
  std::thread killer([process] {
    Sleep(300);
    TerminateProcess(process, 9);
  });
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  DWORD elapsed = 0;
  StepOutcome outcome = StepOnce(views, host_, elapsed);
  killer.join();
  EXPECT_EQ(outcome, StepOutcome::Lost);
  EXPECT_LT(elapsed, 2000u) << "the wait ends with the process, well within the bound";
  EXPECT_EQ(views.Counters().requests, 1u);
  EXPECT_EQ(views.Counters().lost, 1u);
  EXPECT_EQ(views.Counters().perItemNames, 0u) << "nothing more is sent to a view that is gone";
}

TEST_F(BatchFaultTest, AHungViewMakesTheStepGiveUpWithinTheBoundAndWorksAgainAfterwards) {
  ASSERT_STARTED(StartServedHost());
  ASSERT_TRUE(host_.Hang(2500));
  Sleep(50);
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  DWORD elapsed = 0;
  EXPECT_EQ(StepOnce(views, host_, elapsed), StepOutcome::Lost);
  EXPECT_LT(elapsed, 1800u) << "answer wait plus the probe: one message's bound";
  EXPECT_EQ(views.Counters().lost, 1u);
  EXPECT_EQ(views.Counters().perItemNames, 0u);

  ASSERT_TRUE(WaitUntilAnswering(host_.List(), 5000));
  EXPECT_EQ(StepOnce(views, host_, elapsed), StepOutcome::Found);
  EXPECT_EQ(views.Counters().answers, 1u) << "the view is read in one piece again";
  EXPECT_TRUE(host_.Running());
}

// The done event's name is known to every process of the user. One that keeps setting
// it while nobody answers the request must not keep Kanasift's thread waiting: the wait
// counts from the request, not from the last wake-up. (A thread here opens the event by
// its name, as any other process could.)
TEST_F(BatchFaultTest, ADoneEventSetByAnotherProcessDoesNotProlongTheWait) {
  ASSERT_TRUE(host_.Start({"--list", TestDataPath("viewhost-names.txt")})) << host_.Error();  // no library there
  const std::uint32_t next = NextReadRequestId() + 1;  // the request below takes the next number
  char name[viewread::kObjectNameBytes];
  ASSERT_TRUE(viewread::ObjectName(name, sizeof(name), GetCurrentProcessId(), next, true));
  std::atomic<bool> done{false};
  std::thread nuisance([&] {
    const DWORD start = GetTickCount();
    UniqueKernelHandle event;
    while (!done && Since(start) < 8000) {
      if (!event) event.Reset(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
      if (event) SetEvent(event.Get());
      Sleep(2);
    }
  });
  ViewRead read(host_.List(), viewread::ReadKind::List, Tapline::viewReadKey());
  const DWORD start = GetTickCount();
  const ReadOutcome outcome = read.Begin(65536);
  const DWORD elapsed = Since(start);
  done = true;
  nuisance.join();
  EXPECT_EQ(outcome, ReadOutcome::Ignored);
  EXPECT_LT(elapsed, 2000u) << "answer wait, probe and grace: about a second";
}

// Answers the next request for `list` in this process's name, as the view's library
// would, with `answer`: a stand-in for a library in a host that has none.
std::thread AnswerNextRequest(HWND list, std::function<void(viewread::AnswerWriter&)> answer) {
  const std::uint32_t next = NextReadRequestId() + 1;  // the request made next takes this number
  return std::thread([list, next, answer] {
    char mappingName[viewread::kObjectNameBytes];
    char eventName[viewread::kObjectNameBytes];
    if (!viewread::ObjectName(mappingName, sizeof(mappingName), GetCurrentProcessId(), next, false) ||
        !viewread::ObjectName(eventName, sizeof(eventName), GetCurrentProcessId(), next, true)) {
      return;
    }
    const DWORD start = GetTickCount();
    while (Since(start) < 3000) {
      UniqueKernelHandle mapping(OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, mappingName));
      UniqueKernelHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName));
      UniqueMappedView memory(mapping ? MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0) : nullptr);
      MEMORY_BASIC_INFORMATION region = {};
      const std::size_t mapped = memory && VirtualQuery(memory.Get(), &region, sizeof(region)) ? region.RegionSize : 0;
      viewread::RequestFacts facts;
      if (memory && event &&
          viewread::CheckRequest(memory.Get(), mapped, next, GetCurrentProcessId(), HandleValue(list),
                                 Tapline::viewReadKey(), facts)) {
        viewread::AnswerWriter writer(memory.Get(), facts);
        answer(writer);
        SetEvent(event.Get());
        return;
      }
      Sleep(1);
    }
  });
}

// An answer written by someone other than the view's library (the mapping's name can be
// guessed) that claims far more items than the view has: the walk would go through them
// all. A list answer must name the count the view itself gave just before.
TEST_F(BatchFaultTest, AListAnswerClaimingMoreItemsThanTheViewHasIsRefused) {
  ASSERT_TRUE(host_.Start({"--list", TestDataPath("viewhost-names.txt")})) << host_.Error();  // no library there
  const HWND list = host_.List();
  std::thread forger = AnswerNextRequest(list, [](viewread::AnswerWriter& writer) {
    writer.Begin(viewread::kMaxItems, 0, viewread::kNoItem, 0, 0, 0);
  });
  ViewRead read(list, viewread::ReadKind::List, Tapline::viewReadKey());
  const ReadOutcome outcome = read.Begin(65536);
  forger.join();
  EXPECT_EQ(outcome, ReadOutcome::Refused) << "claimed " << read.Snapshot().itemCount << " items";
}

// While reads have had their share of the view's thread, the library answers Busy. The
// step then gives up without a change: reading the view item by item instead would take
// the same thread a message per name (seconds at 10,000 names, a minute at 100,000).
TEST_F(BatchFaultTest, AViewWhoseReadsHadTheirShareIsNotReadItemByItem) {
  ASSERT_TRUE(host_.Start({"--list", TestDataPath("viewhost-names.txt")})) << host_.Error();  // no library there
  struct Served : ViewReadService {
    bool Prepare(HWND) override { return true; }
    void Forget(HWND) override {}
    std::uint64_t RequestKey() override { return Tapline::viewReadKey(); }
  };
  BatchViewProvider views(std::make_unique<Served>());
  std::thread library = AnswerNextRequest(host_.List(), [](viewread::AnswerWriter& writer) {
    writer.Finish(viewread::Status::Busy);
  });
  auto list = views.OpenList(ToViewHandle(host_.List()));
  const int count = list->ItemCount();
  std::string name;
  const bool named = list->ItemText(0, name);
  library.join();
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(named);
  EXPECT_TRUE(list->Lost()) << "the step ends as with a view that did not answer";
  EXPECT_EQ(views.Counters().busy, 1u);
  EXPECT_EQ(views.Counters().fallbacks, 0u);
  EXPECT_EQ(views.Counters().perItemNames, 0u);
}

std::vector<int> SelectedItems(ListView& list) {
  std::vector<int> selected;
  for (int i = 0; i < list.ItemCount(); ++i) {
    if (list.ItemState(i, kLvisSelected)) selected.push_back(i);
  }
  return selected;
}

// "Deselect every item" is held back until the next message, with the selection of the
// answer: when the view changed meanwhile (a folder refreshed, another item selected),
// those indices are other items, and every item must still end deselected.
TEST_F(BatchFaultTest, AHeldBackDeselectionLeavesNothingSelectedWhenTheViewChangedMeanwhile) {
  ASSERT_STARTED(StartServedHost());
  auto outside = OpenRemoteList(host_.List());
  ASSERT_TRUE(outside->OpenRecord());
  ASSERT_TRUE(outside->SetItemState(2, kLvisSelected, kLvisSelected));
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  {
    auto list = views.OpenList(ToViewHandle(host_.List()));
    ASSERT_TRUE(list->OpenRecord());
    ASSERT_EQ(list->SelectedCount(), 1);
    ASSERT_EQ(list->FirstSelected(), 2);
    EXPECT_TRUE(list->SetItemState(kAllItems, 0, kLvisSelected));
    // The view changes under the step: the selected item is now at index 5.
    ASSERT_TRUE(outside->SetItemState(2, 0, kLvisSelected));
    ASSERT_TRUE(outside->SetItemState(5, kLvisSelected, kLvisSelected));
    EXPECT_TRUE(list->SetItemState(7, kLvisSelected | kLvisFocused, kLvisSelected | kLvisFocused));
  }
  EXPECT_EQ(views.Counters().answers, 1u) << "the step was served by an answer";
  EXPECT_EQ(views.Counters().listChanges, 1u) << "and its change carried out in one request";
  EXPECT_EQ(SelectedItems(*outside), std::vector<int>({7}));
}

// The change at the end of a step names items by the answer's indices. A list that lost
// an item since refuses the request, and the step's change is made with the messages
// the view would have had without the library, in the same order.
TEST_F(BatchFaultTest, AChangeForAListThatLostAnItemIsMadeWithMessages) {
  ASSERT_STARTED(StartServedHost());
  auto outside = OpenRemoteList(host_.List());
  ASSERT_TRUE(outside->OpenRecord());
  ASSERT_TRUE(outside->SetItemState(2, kLvisSelected, kLvisSelected));
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  auto list = views.OpenList(ToViewHandle(host_.List()));
  ASSERT_TRUE(list->OpenRecord());
  ASSERT_EQ(list->FirstSelected(), 2);
  ASSERT_TRUE(SendMessageA(host_.List(), LVM_DELETEITEM, 0, 0));  // item 2 is at index 1 now
  EXPECT_TRUE(list->SetItemState(kAllItems, 0, kLvisSelected));
  EXPECT_TRUE(list->SetItemState(6, kLvisSelected | kLvisFocused, kLvisSelected | kLvisFocused));
  EXPECT_TRUE(list->EnsureVisible(6));
  ItemRect rect;
  EXPECT_TRUE(list->LabelRect(6, rect));
  EXPECT_FALSE(list->Lost());
  EXPECT_EQ(views.Counters().listChanges, 0u) << "the library refused the change";
  EXPECT_EQ(SelectedItems(*outside), std::vector<int>({6}));
  EXPECT_EQ(outside->ItemState(6, kLvisFocused), kLvisFocused);
  EXPECT_GT(rect.bottom, rect.top);
}

// A tree item added from outside, at the end of the root items, with a text or none; its
// handle.
HTREEITEM InsertRootItem(HWND tree, const char* text) {
  DWORD processId = 0;
  GetWindowThreadProcessId(tree, &processId);
  UniqueKernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
  if (!process) return nullptr;
  auto* remote = static_cast<char*>(VirtualAllocEx(process.Get(), nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!remote) return nullptr;
  TVINSERTSTRUCTA insert = {};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = text ? TVIF_TEXT : 0;
  insert.item.pszText = remote + 1024;
  WriteProcessMemory(process.Get(), remote, &insert, sizeof(insert), nullptr);
  if (text) WriteProcessMemory(process.Get(), remote + 1024, text, std::strlen(text) + 1, nullptr);
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(remote)));
  VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
  return item;
}

// The item handles of an answer are good only while the tree keeps those items. One the
// tree deleted after the answer must never become the caret, nor have its rectangle
// asked for. Wine's tree view gives a deleted leaf's memory, and with it its handle, to
// the next item inserted without a text.
TEST_F(BatchFaultTest, ATreeItemDeletedAfterTheAnswerIsNeverSelected) {
  ASSERT_TRUE(host_.Start({"--list", TestDataPath("viewhost-names.txt"), "--tree", TestDataPath("viewhost-tree.txt")}))
      << host_.Error();
  ASSERT_TRUE(LoadHookLibraryInto(host_));
  const HWND treeWindow = host_.Tree();
  const auto caretBefore = SendMessageA(treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0);
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  auto tree = views.OpenTree(ToViewHandle(treeWindow));
  ASSERT_TRUE(tree->OpenRecord());
  const TreeItem root = tree->NextItem(TreeRelation::Root, 0);
  const TreeItem doomed = tree->NextItem(TreeRelation::LastVisible, root);  // a leaf
  ASSERT_NE(doomed, 0u);
  ASSERT_NE(static_cast<LRESULT>(doomed), caretBefore);
  std::string name;
  ASSERT_TRUE(tree->ItemText(doomed, name));

  ASSERT_TRUE(SendMessageA(treeWindow, TVM_DELETEITEM, 0, static_cast<LPARAM>(doomed)));
  HTREEITEM newcomer = InsertRootItem(treeWindow, nullptr);
  ASSERT_NE(newcomer, nullptr);
  const bool reused = reinterpret_cast<TreeItem>(newcomer) == doomed;

  EXPECT_FALSE(tree->Select(doomed));
  ItemRect rect;
  EXPECT_FALSE(tree->LabelRect(doomed, rect));
  EXPECT_FALSE(tree->Lost()) << "the view answered: it only refused";
  const auto caretAfter = SendMessageA(treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0);
  EXPECT_EQ(caretAfter, caretBefore) << (reused ? "the handle now names the new item" : "the handle names no item");
  EXPECT_EQ(views.Counters().treeSelects, 1u);
}

TEST_F(BatchFaultTest, ARequesterThatDiesMidRequestLeavesTheViewWorking) {
  ASSERT_STARTED(StartServedHost());
  // The view's thread sleeps, so the dying requester's message waits in its queue.
  ASSERT_TRUE(host_.Hang(1500));
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t commandLine[MAX_PATH + 64];
  std::swprintf(commandLine, MAX_PATH + 64, L"\"%ls\" %hs %llx", self, kRequesterExits,
                static_cast<unsigned long long>(HandleValue(host_.List())));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  UniqueKernelHandle child(info.hProcess);
  CloseHandle(info.hThread);
  ASSERT_EQ(WaitForSingleObject(child.Get(), 15000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(child.Get(), &code);
  ASSERT_EQ(code, 0u) << "the requester did not get its request posted";

  ASSERT_TRUE(WaitUntilAnswering(host_.List(), 5000));
  EXPECT_TRUE(host_.Running());
  // A new owner of the hook, as a Kanasift started afresh.
  ASSERT_TRUE(owner_.Install());
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  auto observed = RunSteps(views, host_, false, {{"typed kaisya", kKaisya, 0}});
  ASSERT_EQ(observed.size(), 1u);
  EXPECT_EQ(observed[0].selected, std::vector<int>({0}));
  EXPECT_EQ(views.Counters().answers, 1u);
}

// A view whose thread takes messages but has no hook of the library any more: the
// request goes unanswered, the step is read item by item, and the thread is left alone.
TEST_F(BatchFaultTest, AnUnansweredRequestFallsBackAndLeavesTheThreadAlone) {
  ASSERT_STARTED(StartServedHost());
  Tapline::forgetViewRead(host_.List());  // the library stays loaded, its message hook goes
  struct HooklessReads : ViewReadService {
    bool Prepare(HWND) override { return true; }
    void Forget(HWND) override { ++forgotten; }
    std::uint64_t RequestKey() override { return Tapline::viewReadKey(); }
    int forgotten = 0;
  };
  auto reads = std::make_unique<HooklessReads>();
  HooklessReads& service = *reads;
  BatchViewProvider views(std::move(reads), SystemProcessMemory(), ReadWaits{200, 200, 100});
  auto observed = RunSteps(views, host_, false, {{"typed kaisya", kKaisya, 0}, {"next", kKaisya, +1}});
  ASSERT_EQ(observed.size(), 2u);
  EXPECT_EQ(observed[0].selected, std::vector<int>({0}));
  EXPECT_EQ(observed[1].selected, std::vector<int>({1}));
  const BatchCounters& c = views.Counters();
  EXPECT_EQ(c.requests, 1u) << "the second step does not ask a thread that ignored the first";
  EXPECT_EQ(c.fallbacks, 1u);
  EXPECT_EQ(c.notServed, 1u);
  EXPECT_EQ(c.lost, 0u);
  EXPECT_EQ(service.forgotten, 1);
  EXPECT_GT(c.perItemNames, 0u);
}

// How the objects of a hand-written request are made.
enum class Making {
  Own,             // as Kanasift makes them (platform/OwnObjects.h)
  OthersMapping,   // the mapping with the system's default security, as anyone could
  OthersEvent,     // the event so
  FileBacked,      // a mapping of Kanasift's security, backed by a file
};

// The security Kanasift gives its objects, built here the documented way, for a mapping
// that must differ from Kanasift's in nothing but its backing.
struct OwnSecurity {
  OwnSecurity() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, user, sizeof(user), &size);
    GetTokenInformation(token, TokenIntegrityLevel, level, sizeof(level), &size);
    CloseHandle(token);
    PSID userSid = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    PSID levelSid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(level)->Label.Sid;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(reinterpret_cast<PACL>(dacl), sizeof(dacl), ACL_REVISION);
    AddAccessAllowedAce(reinterpret_cast<PACL>(dacl), ACL_REVISION, GENERIC_ALL, userSid);
    InitializeAcl(reinterpret_cast<PACL>(sacl), sizeof(sacl), ACL_REVISION);
    AddMandatoryAce(reinterpret_cast<PACL>(sacl), ACL_REVISION, 0,
                    SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP, levelSid);
    SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(dacl), FALSE);
    SetSecurityDescriptorSacl(&descriptor, TRUE, reinterpret_cast<PACL>(sacl), FALSE);
    SetSecurityDescriptorOwner(&descriptor, userSid, FALSE);
    attributes = {sizeof(attributes), &descriptor, FALSE};
  }
  alignas(8) BYTE user[256];
  alignas(8) BYTE level[256];
  alignas(8) BYTE dacl[256];
  alignas(8) BYTE sacl[256];
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes;
};

// A request written by hand: the header as Kanasift writes it, changed by each case.
struct RawRequest {
  HWND target = nullptr;
  std::uint32_t mappingSize = 65536;
  bool createMapping = true;
  Making making = Making::Own;
  std::uint32_t objectProcessId = GetCurrentProcessId();  // in the object names
  std::uint32_t objectId = NextReadRequestId();
  WPARAM postedId = 0;
  LPARAM postedProcessId = 0;
  viewread::RequestHeader header = {};
};

struct RawResult {
  bool answered = false;
  std::uint32_t status = 0;
  std::uint32_t needed = 0;
  bool untouchedBeyond = false;  // every byte beyond min(capacity, header) is still the guard...
  std::uint32_t untouchedFrom = 0;
};

class RawRequestTest : public BatchFaultTest {
 protected:
  RawRequest Prepare(viewread::ReadKind kind = viewread::ReadKind::List) {
    RawRequest r;
    r.target = host_.List();
    r.postedId = r.objectId;
    r.postedProcessId = static_cast<LPARAM>(r.objectProcessId);
    viewread::WriteRequest(&r.header, r.mappingSize, r.objectId, r.objectProcessId, kind, HandleValue(host_.List()),
                           Tapline::viewReadKey());
    return r;
  }

  // Posts the request, then a real read as a barrier: once that is answered, the view's
  // thread has dealt with the request before it.
  RawResult Post(const RawRequest& r, std::uint32_t checkFrom) {
    RawResult result;
    char name[viewread::kObjectNameBytes];
    viewread::ObjectName(name, sizeof(name), r.objectProcessId, r.objectId, false);
    UniqueKernelHandle mapping;
    UniqueMappedView memory;
    UniqueKernelHandle file;
    if (r.createMapping) {
      bool created = false;
      if (r.making == Making::OthersMapping) {
        mapping.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, r.mappingSize, name));
      } else if (r.making == Making::FileBacked) {
        char path[MAX_PATH];
        GetTempPathA(MAX_PATH, path);
        std::strcat(path, "ksraw.bin");
        file.Reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        OwnSecurity security;
        if (file) {
          mapping.Reset(CreateFileMappingA(file.Get(), &security.attributes, PAGE_READWRITE, 0, r.mappingSize, name));
        }
      } else {
        mapping.Reset(ownobj::CreateOwnMapping(name, r.mappingSize, created));
      }
      if (mapping) memory.Reset(MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, r.mappingSize));
      if (!memory) {
        ADD_FAILURE() << "no mapping";
        return result;
      }
      std::memset(memory.Get(), kGuard, r.mappingSize);
      std::memcpy(memory.Get(), &r.header, std::min<std::size_t>(sizeof(r.header), r.mappingSize));
    }
    viewread::ObjectName(name, sizeof(name), r.objectProcessId, r.objectId, true);
    bool created = false;
    UniqueKernelHandle done(r.making == Making::OthersEvent ? CreateEventA(nullptr, TRUE, FALSE, name)
                                                            : ownobj::CreateOwnEvent(name, true, created));
    EXPECT_TRUE(PostMessageA(r.target, ReadViewMessageNumber(), r.postedId, r.postedProcessId));

    ViewSnapshot barrier;
    std::uint32_t needed = 0;
    EXPECT_EQ(ReadWholeView(host_.List(), viewread::ReadKind::List, Tapline::viewReadKey(), 1 << 20, barrier, needed), ReadOutcome::Read);
    result.answered = WaitForSingleObject(done.Get(), 0) == WAIT_OBJECT_0;
    if (memory) {
      const auto* bytes = static_cast<const std::uint8_t*>(memory.Get());
      viewread::RequestHeader header = {};
      std::memcpy(&header, bytes, std::min<std::size_t>(sizeof(header), r.mappingSize));
      result.status = header.status;
      result.needed = header.needed;
      result.untouchedBeyond = true;
      for (std::uint32_t i = checkFrom; i < r.mappingSize; ++i) {
        if (bytes[i] != kGuard) {
          result.untouchedBeyond = false;
          result.untouchedFrom = i;
          break;
        }
      }
    }
    return result;
  }
};

TEST_F(RawRequestTest, MalformedRequestsAreLeftAloneAndNeverWrittenBeyondTheirCapacity) {
  ASSERT_STARTED(StartServedHost());
  const std::uint32_t kHeader = sizeof(viewread::RequestHeader);
  struct Case {
    const char* name;
    std::function<void(RawRequest&)> change;
  };
  const std::vector<Case> ignored = {
      {"another magic", [](RawRequest& r) { r.header.magic ^= 1; }},
      {"another version", [](RawRequest& r) { r.header.version = viewread::kFormatVersion + 1; }},
      {"another header size", [](RawRequest& r) { r.header.headerSize = 64; }},
      {"another request number than the message", [](RawRequest& r) { r.header.requestId += 7; }},
      {"another requester than the message", [](RawRequest& r) { r.header.requesterProcessId += 4; }},
      {"another view than the message's window", [this](RawRequest& r) {
         r.header.viewLow = static_cast<std::uint32_t>(HandleValue(host_.Main()));
       }},
      {"an unknown kind", [](RawRequest& r) { r.header.kind = 9; }},
      {"an answered request", [](RawRequest& r) { r.header.status = 1; }},
      {"a capacity beyond the mapping", [](RawRequest& r) {
         r.mappingSize = 8192;
         r.header.capacity = 64u << 20;
       }},
      {"a capacity beyond any answer", [](RawRequest& r) {
         r.mappingSize = 8192;
         r.header.capacity = 0xFFFFFFFFu;
       }},
      {"a capacity below the header", [](RawRequest& r) { r.header.capacity = 20; }},
      {"a mapping smaller than the header", [](RawRequest& r) { r.mappingSize = 32; }},
      {"a requester that does not own the hook", [](RawRequest& r) {
         r.objectProcessId += 4;
         r.postedProcessId = static_cast<LPARAM>(r.objectProcessId);
         r.header.requesterProcessId = r.objectProcessId;
       }},
      {"a message without a requester", [](RawRequest& r) { r.postedProcessId = 0; }},
      {"a message naming no mapping", [](RawRequest& r) { r.createMapping = false; }},
      {"a request without the key of this run", [](RawRequest& r) {
         r.header.keyLow = 0;
         r.header.keyHigh = 0;
       }},
      {"a request with another key", [](RawRequest& r) { r.header.keyLow ^= 0x10; }},
      {"a mapping of another's making", [](RawRequest& r) { r.making = Making::OthersMapping; }},
      {"an event of another's making", [](RawRequest& r) { r.making = Making::OthersEvent; }},
      {"a mapping backed by a file", [](RawRequest& r) { r.making = Making::FileBacked; }},
  };
  for (const auto& c : ignored) {
    RawRequest r = Prepare();
    c.change(r);
    RawResult result = Post(r, std::min<std::uint32_t>(kHeader, r.mappingSize));
    EXPECT_FALSE(result.answered) << c.name;
    if (r.createMapping) {
      EXPECT_EQ(result.status, r.header.status) << c.name;
      EXPECT_TRUE(result.untouchedBeyond) << c.name << ": written at " << result.untouchedFrom;
    }
  }

  // Requests that are answered, within their capacity.
  {
    RawRequest r = Prepare(viewread::ReadKind::Tree);
    RawResult result = Post(r, kHeader);
    EXPECT_TRUE(result.answered);
    EXPECT_EQ(result.status, static_cast<std::uint32_t>(viewread::Status::Refused)) << "a list is not a tree";
    EXPECT_TRUE(result.untouchedBeyond);
  }
  {
    RawRequest r = Prepare();
    r.target = host_.Main();
    r.header.viewLow = static_cast<std::uint32_t>(HandleValue(host_.Main()));
    r.header.viewHigh = static_cast<std::uint32_t>(HandleValue(host_.Main()) >> 32);
    RawResult result = Post(r, kHeader);
    EXPECT_TRUE(result.answered);
    EXPECT_EQ(result.status, static_cast<std::uint32_t>(viewread::Status::Refused)) << "not a view class";
  }
  {
    RawRequest r = Prepare();
    r.mappingSize = 8192;
    r.header.capacity = kHeader + 40;
    RawResult result = Post(r, kHeader + 40);
    EXPECT_TRUE(result.answered);
    EXPECT_EQ(result.status, static_cast<std::uint32_t>(viewread::Status::TooSmall));
    EXPECT_GT(result.needed, kHeader + 40);
    EXPECT_TRUE(result.untouchedBeyond) << "written at " << result.untouchedFrom;
  }
  {
    RawRequest r = Prepare();
    RawResult result = Post(r, 0);
    EXPECT_TRUE(result.answered);
    EXPECT_EQ(result.status, static_cast<std::uint32_t>(viewread::Status::Done));
  }

  EXPECT_TRUE(host_.Running());
  BatchViewProvider views(std::make_unique<CountingViewReads>());
  auto observed = RunSteps(views, host_, false, {{"typed kaisya", kKaisya, 0}});
  ASSERT_EQ(observed.size(), 1u);
  EXPECT_EQ(observed[0].selected, std::vector<int>({0}));
  EXPECT_EQ(views.Counters().answers, 1u);
}

// The requester of ARequesterThatDiesMidRequestLeavesTheViewWorking: owns the hook, posts
// a request as the batch reader does, and ends at once, leaving everything open.
int RequestAndDie(const char* listText) {
  HWND list = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(listText, nullptr, 16)));
  static HookOwner owner;
  if (!owner.Install()) return 3;
  if (!Tapline::prepareViewRead(list)) return 4;
  const std::uint32_t self = GetCurrentProcessId();
  const std::uint32_t id = NextReadRequestId();
  char name[viewread::kObjectNameBytes];
  viewread::ObjectName(name, sizeof(name), self, id, false);
  bool created = false;
  HANDLE mapping = ownobj::CreateOwnMapping(name, 1 << 20, created);
  void* memory = mapping ? MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0) : nullptr;
  if (!memory) return 5;
  viewread::WriteRequest(memory, 1 << 20, id, self, viewread::ReadKind::List, HandleValue(list), Tapline::viewReadKey());
  viewread::ObjectName(name, sizeof(name), self, id, true);
  if (!ownobj::CreateOwnEvent(name, true, created)) return 6;
  if (!PostMessageA(list, ReadViewMessageNumber(), id, self)) return 7;
  TerminateProcess(GetCurrentProcess(), 0);
  return 8;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], kRequesterExits) == 0) return RequestAndDie(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
