#include "tapline/ViewReadHook.h"

#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/OwnObjects.h"
#include "platform/Win32Handles.h"
#include "tapline/AnswerClock.h"
#include "tapline/ClassList.h"
#include "tapline/DllState.h"
#include "tapline/ServeShare.h"
#include "tapline/ShellViewServe.h"
#include "tapline/TaplineTypes.h"
#include "tapline/ViewReadFormat.h"

namespace tapline {

namespace {

using viewread::AnswerWriter;
using viewread::ReadKind;
using viewread::kTextBufferBytes;

constexpr int kClassNameBytes = 256;
// A list beyond this is left to the reader that goes item by item: one answer would
// keep the view's thread busy for too long.
constexpr LRESULT kMaxListItems = viewread::kMaxItems;
// A name takes at most this much room in an answer (for the rest of a list not read).
constexpr std::uint64_t kLargestRecord = sizeof(viewread::RecordHead) + viewread::kNameMax;

std::atomic<UINT> g_readMessage{0};
// The share of this process's view threads that answers may take (ServeShare.h).
viewread::ServeShare g_share;

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

std::uint64_t HandleValue(const void* handle) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

// The bytes of a name a control handed back. Normally they are in our buffer; a control
// may instead point at text of its own, which is read only as far as it is readable.
std::uint32_t ShownNameLength(const char* shown, const char* buffer) {
  if (!shown || shown == LPSTR_TEXTCALLBACKA) return 0;
  if (shown == buffer) return viewread::NameLength(shown, IsAnsiLeadByte);
  MEMORY_BASIC_INFORMATION info;
  if (!VirtualQuery(shown, &info, sizeof(info)) || info.State != MEM_COMMIT) return 0;
  const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                         PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  if ((info.Protect & readable) == 0 || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0) return 0;
  const auto* end = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
  return viewread::NameLength(shown, static_cast<std::size_t>(end - shown), IsAnsiLeadByte);
}

// Every item in index order: the text as LVM_GETITEMA gives it, and the state bits the
// walks look at, in one message per item. The counts and the first selected item go
// ahead of the records. Ends when Kanasift asks it to, and when its time is up: then the
// rest of a list that no longer fits is counted at its largest, else the answer fails
// and Kanasift reads the rest item by item.
void ReadList(HWND view, AnswerWriter& writer, const Stopwatch& clock) {
  LRESULT count = SendMessageA(view, LVM_GETITEMCOUNT, 0, 0);
  if (count < 0) count = 0;
  if (count > kMaxListItems) {
    writer.Finish(viewread::Status::Failed);
    return;
  }
  LRESULT selected = SendMessageA(view, LVM_GETSELECTEDCOUNT, 0, 0);
  if (selected < 0) selected = 0;
  if (selected > count) selected = count;
  LRESULT first = SendMessageA(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  if (first < 0 || first >= count) first = -1;
  writer.Begin(static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(selected),
               first < 0 ? viewread::kNoItem : static_cast<std::uint32_t>(first), 0, 0, 0);
  char text[kTextBufferBytes];
  int i = 0;
  for (; i < static_cast<int>(count) && !writer.Stopped(); ++i) {
    if (clock.Over(kAnswerBudgetUs)) {
      if (!writer.Overflowed()) {
        writer.Finish(viewread::Status::Failed);
        return;
      }
      writer.CountMore(static_cast<std::uint64_t>(count - i) * kLargestRecord);
      break;
    }
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_STATE;
    item.iItem = i;
    item.stateMask = viewread::kListStateMask;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(kTextBufferBytes);
    text[0] = '\0';
    bool read = SendMessageA(view, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != FALSE;
    const char* shown = read ? item.pszText : nullptr;
    writer.Add(static_cast<std::uint64_t>(i), read ? item.state & viewread::kListStateMask : 0, read,
               shown == LPSTR_TEXTCALLBACKA ? nullptr : shown, read ? ShownNameLength(shown, text) : 0);
  }
  writer.Finish(static_cast<std::uint32_t>(count));
}

HTREEITEM TreeNext(HWND view, WPARAM relation, HTREEITEM item) {
  return reinterpret_cast<HTREEITEM>(SendMessageA(view, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

// The visible items from the first root item on, in display order. A tree never has
// more visible items than items: one that seems to is not walked to its end. Ends when
// Kanasift asks it to; fails when its time is up.
void ReadTree(HWND view, AnswerWriter& writer, const Stopwatch& clock) {
  HTREEITEM root = TreeNext(view, TVGN_ROOT, nullptr);
  HTREEITEM caret = TreeNext(view, TVGN_CARET, nullptr);
  HTREEITEM last = TreeNext(view, TVGN_LASTVISIBLE, nullptr);
  const std::uint64_t total = static_cast<std::uint64_t>(static_cast<std::uintptr_t>(SendMessageA(view, TVM_GETCOUNT, 0, 0)));
  writer.Begin(0, 0, viewread::kNoItem, HandleValue(root), HandleValue(caret), HandleValue(last));
  std::uint64_t visible = 0;
  char text[kTextBufferBytes];
  for (HTREEITEM item = root; item && !writer.Stopped(); item = TreeNext(view, TVGN_NEXTVISIBLE, item)) {
    if (visible >= total || visible >= static_cast<std::uint64_t>(kMaxListItems) || clock.Over(kAnswerBudgetUs)) {
      writer.Finish(viewread::Status::Failed);
      return;
    }
    TVITEMEXA record = {};
    record.mask = TVIF_TEXT | TVIF_HANDLE;
    record.hItem = item;
    record.pszText = text;
    record.cchTextMax = static_cast<int>(kTextBufferBytes);
    text[0] = '\0';
    bool read = SendMessageA(view, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&record)) != FALSE;
    const char* shown = read ? record.pszText : nullptr;
    writer.Add(HandleValue(item), 0, read, shown == LPSTR_TEXTCALLBACKA ? nullptr : shown,
               read ? ShownNameLength(shown, text) : 0);
    ++visible;
  }
  writer.Finish(static_cast<std::uint32_t>(visible));
}

// Makes the item the caret while it is still a visible item of the tree with the name it
// had when Kanasift read it: a handle from an older answer never reaches the tree view
// unless the tree itself hands it out again, with that name.
void SelectTreeItem(HWND view, const void* mapping, const viewread::RequestFacts& facts, AnswerWriter& writer,
                    const Stopwatch& clock) {
  viewread::TreeSelectArgs wanted;
  if (!viewread::ReadTreeSelect(mapping, facts, wanted)) {
    writer.Finish(viewread::Status::Failed);
    return;
  }
  const std::uint64_t handle = static_cast<std::uint64_t>(wanted.itemLow) | (static_cast<std::uint64_t>(wanted.itemHigh) << 32);
  const std::uint64_t total = static_cast<std::uint64_t>(static_cast<std::uintptr_t>(SendMessageA(view, TVM_GETCOUNT, 0, 0)));
  std::uint64_t visible = 0;
  HTREEITEM item = TreeNext(view, TVGN_ROOT, nullptr);
  for (; item && HandleValue(item) != handle; item = TreeNext(view, TVGN_NEXTVISIBLE, item)) {
    if (++visible >= total || visible >= static_cast<std::uint64_t>(kMaxListItems) || clock.Over(kAnswerBudgetUs) ||
        writer.Stopped()) {
      writer.Finish(viewread::Status::Failed);
      return;
    }
  }
  char text[kTextBufferBytes];
  TVITEMEXA record = {};
  record.mask = TVIF_TEXT | TVIF_HANDLE;
  record.hItem = item;
  record.pszText = text;
  record.cchTextMax = static_cast<int>(kTextBufferBytes);
  text[0] = '\0';
  const bool read = item && SendMessageA(view, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&record)) != FALSE;
  const char* shown = read ? record.pszText : nullptr;
  const std::uint32_t length = read && shown != LPSTR_TEXTCALLBACKA ? ShownNameLength(shown, text) : 0;
  const bool same = item && read == (wanted.hasText != 0) && length == wanted.textLength &&
                    (length == 0 || std::memcmp(shown, wanted.text, length) == 0);
  if (!same) {
    writer.Finish(viewread::Status::Refused);  // gone, or now another item
    return;
  }
  SendMessageA(view, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  writer.FinishChange(false, 0, 0, 0, 0);  // a complete answer of a change: no rectangle
}

// Deselects the items still selected one by one: a list view goes through every item to
// deselect all at once (12 ms for 10,000 under Wine), and few are selected as a rule
// (Kanasift deselects those it knows of first). Beyond the time budget, one message does
// the rest.
void DeselectAll(HWND view, LRESULT count, const Stopwatch& clock) {
  if (SendMessageA(view, LVM_GETSELECTEDCOUNT, 0, 0) == 0) return;
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED;
  LRESULT at = -1;
  for (LRESULT visited = 0; visited <= count; ++visited) {
    at = SendMessageA(view, LVM_GETNEXTITEM, static_cast<WPARAM>(at), LVNI_SELECTED);
    if (at < 0 || at >= count) return;
    if (clock.Over(kAnswerBudgetUs)) break;
    SendMessageA(view, LVM_SETITEMSTATE, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
  }
  SendMessageA(view, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

// A search step's selection change of a list view, in order, as the messages Kanasift
// would otherwise send one by one: deselect the others, set the selection (and the
// focus) of an item, scroll it into view. The indices are those of an answer with as
// many items as the list has now; a list that has changed its count since is left
// alone (Failed), and Kanasift sends its messages after all. The answer carries the
// label rectangle of the item that took the focus, in the list's client coordinates.
void ChangeList(HWND view, const void* mapping, const viewread::RequestFacts& facts, AnswerWriter& writer,
                const Stopwatch& clock) {
  viewread::ChangeHead head;
  const LRESULT count = SendMessageA(view, LVM_GETITEMCOUNT, 0, 0);
  if (!viewread::ReadChange(mapping, facts, head) || count < 0 || count != static_cast<LRESULT>(facts.generation)) {
    writer.Finish(viewread::Status::Failed);
    return;
  }
  int focused = -1;
  for (std::uint32_t i = 0; i < head.count && !writer.Stopped(); ++i) {
    const viewread::ChangeOperation operation = viewread::OperationAt(mapping, i);
    if (operation.position >= static_cast<std::uint64_t>(count)) continue;
    LVITEMA item = {};
    if (operation.flags & viewread::kSelectDeselectOthers) DeselectAll(view, count, clock);
    item.stateMask = LVIS_SELECTED;
    item.state = (operation.flags & viewread::kSelectSelect) ? LVIS_SELECTED : 0;
    if (operation.flags & viewread::kSelectFocused) {
      item.stateMask |= LVIS_FOCUSED;
      item.state |= LVIS_FOCUSED;
      focused = static_cast<int>(operation.position);
    }
    SendMessageA(view, LVM_SETITEMSTATE, static_cast<WPARAM>(operation.position), reinterpret_cast<LPARAM>(&item));
    if (operation.flags & viewread::kSelectEnsureVisible) {
      SendMessageA(view, LVM_ENSUREVISIBLE, static_cast<WPARAM>(operation.position), FALSE);
    }
  }
  RECT label = {};
  label.left = LVIR_LABEL;
  const bool haveRect =
      focused >= 0 && SendMessageA(view, LVM_GETITEMRECT, static_cast<WPARAM>(focused), reinterpret_cast<LPARAM>(&label));
  writer.FinishChange(haveRect, label.left, label.top, label.right, label.bottom);
}

void SetEventOf(void* event) { SetEvent(static_cast<HANDLE>(event)); }

// The request asks for the kind of view the window is by the configured classes.
bool IsViewOfKind(HWND view, const Config& config, ReadKind kind) {
  char className[kClassNameBytes];
  if (!GetClassNameA(view, className, kClassNameBytes)) return false;
  switch (kind) {
    case ReadKind::Tree:
    case ReadKind::TreeSelect:
      return classlist::Contains(className, config.treeClasses);
    case ReadKind::Shell:
    case ReadKind::ShellChange:
      return classlist::Contains(className, config.shellClasses);
    case ReadKind::List:
    case ReadKind::ListChange:
      break;
  }
  return classlist::Contains(className, config.listClasses);
}

// Reads the view into the requester's mapping and sets its event. A request is served
// only when it comes from the process that owns the keyboard hook, carries the key that
// process published with its configuration, and names a mapping and an event that the
// requester made with Kanasift's security (platform/OwnObjects.h), the mapping backed by
// the paging file (a file-backed one could fault or block here). Anything else is left
// alone without an answer. While answers have taken their share of the thread
// (ServeShare.h), requests are answered Refused at once.
void Serve(const MSG& message) {
  HWND view = message.hwnd;
  if (!view || GetWindowThreadProcessId(view, nullptr) != GetCurrentThreadId()) return;
  SharedBlock* block = UsableSharedBlock();
  Config config;
  if (!block || !ReadConfig(*block, config)) return;
  const auto requester = static_cast<std::uint32_t>(message.lParam);
  const auto requestId = static_cast<std::uint32_t>(message.wParam);
  const std::uint64_t key =
      static_cast<std::uint64_t>(config.requestKeyLow) | (static_cast<std::uint64_t>(config.requestKeyHigh) << 32);
  if (config.ownerProcessId == 0 || requester != config.ownerProcessId || key == 0) return;

  Stopwatch clock;
  const bool mayServe = g_share.MayServe(GetTickCount());
  char name[viewread::kObjectNameBytes];
  if (!viewread::ObjectName(name, sizeof(name), requester, requestId, true)) return;
  UniqueKernelHandle event(ownobj::OpenOwnEvent(name, EVENT_MODIFY_STATE));
  if (!event || !viewread::ObjectName(name, sizeof(name), requester, requestId, false)) return;
  {
    UniqueKernelHandle mapping(ownobj::OpenOwnMapping(name, FILE_MAP_READ | FILE_MAP_WRITE));
    std::uint64_t sectionSize = 0;
    if (!mapping || !ownobj::IsPagefileSection(mapping.Get(), sectionSize)) return;
    UniqueMappedView memory(MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!memory) return;
    MEMORY_BASIC_INFORMATION info;
    SIZE_T mapped = VirtualQuery(memory.Get(), &info, sizeof(info)) ? info.RegionSize : 0;
    if (mapped > sectionSize) mapped = static_cast<SIZE_T>(sectionSize);
    viewread::RequestFacts facts;
    if (!viewread::CheckRequest(memory.Get(), mapped, requestId, requester, HandleValue(view), key, facts)) return;
    AnswerWriter writer(memory.Get(), facts, SetEventOf, event.Get());
    const bool wholeRead = facts.kind == ReadKind::List || facts.kind == ReadKind::Tree || facts.kind == ReadKind::Shell;
    if (!IsViewOfKind(view, config, facts.kind)) {
      writer.Finish(viewread::Status::Refused);
    } else if (wholeRead && !mayServe) {
      // Changes are a step's few messages, always carried out; reads wait for the share.
      writer.Finish(viewread::Status::Busy);
    } else if (facts.kind == ReadKind::Tree) {
      ReadTree(view, writer, clock);
    } else if (facts.kind == ReadKind::TreeSelect) {
      SelectTreeItem(view, memory.Get(), facts, writer, clock);
    } else if (facts.kind == ReadKind::Shell) {
      ServeShellRead(view, facts, writer, clock);
    } else if (facts.kind == ReadKind::ShellChange) {
      ServeShellChange(view, memory.Get(), facts, writer);
    } else if (facts.kind == ReadKind::ListChange) {
      ChangeList(view, memory.Get(), facts, writer, clock);
    } else {
      ReadList(view, writer, clock);
    }
  }  // The mapping is closed before the requester is told the answer is complete.
  const LONGLONG elapsed = clock.Microseconds();
  g_share.Charge(elapsed > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<std::uint32_t>(elapsed < 0 ? 0 : elapsed));
  SetEvent(event.Get());
}

}  // namespace

UINT ReadViewMessage() {
  UINT number = g_readMessage.load(std::memory_order_relaxed);
  if (number != 0) return number;
  number = RegisterWindowMessageA(KANASIFT_MSG_READ_VIEW);
  g_readMessage.store(number, std::memory_order_relaxed);
  return number;
}

LRESULT CALLBACK GetMessageHookProc(int code, WPARAM wParam, LPARAM lParam) {
  // Only a message being removed from the queue: a look without removal sees it again
  // when it is removed.
  if (code == HC_ACTION && wParam == PM_REMOVE && lParam != 0) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    UINT number = ReadViewMessage();
    if (number != 0 && message->message == number) {
      Serve(*message);
      message->message = WM_NULL;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace tapline
