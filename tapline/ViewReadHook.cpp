#include "tapline/ViewReadHook.h"

#include <commctrl.h>

#include <atomic>
#include <cstdint>

#include "platform/Win32Handles.h"
#include "tapline/ClassList.h"
#include "tapline/DllState.h"
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
constexpr LRESULT kMaxListItems = 1 << 20;

std::atomic<UINT> g_readMessage{0};

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
// ahead of the records.
void ReadList(HWND view, AnswerWriter& writer) {
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
  for (int i = 0; i < static_cast<int>(count) && !writer.Stopped(); ++i) {
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
// more visible items than items: one that seems to is not walked to its end.
void ReadTree(HWND view, AnswerWriter& writer) {
  HTREEITEM root = TreeNext(view, TVGN_ROOT, nullptr);
  HTREEITEM caret = TreeNext(view, TVGN_CARET, nullptr);
  HTREEITEM last = TreeNext(view, TVGN_LASTVISIBLE, nullptr);
  const std::uint64_t total = static_cast<std::uint64_t>(static_cast<std::uintptr_t>(SendMessageA(view, TVM_GETCOUNT, 0, 0)));
  writer.Begin(0, 0, viewread::kNoItem, HandleValue(root), HandleValue(caret), HandleValue(last));
  std::uint64_t visible = 0;
  char text[kTextBufferBytes];
  for (HTREEITEM item = root; item && !writer.Stopped(); item = TreeNext(view, TVGN_NEXTVISIBLE, item)) {
    if (visible >= total || visible >= static_cast<std::uint64_t>(kMaxListItems)) {
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

void SetEventOf(void* event) { SetEvent(static_cast<HANDLE>(event)); }

// The request asks for the kind of view the window is by the configured classes.
bool IsViewOfKind(HWND view, const Config& config, ReadKind kind) {
  char className[kClassNameBytes];
  if (!GetClassNameA(view, className, kClassNameBytes)) return false;
  switch (kind) {
    case ReadKind::Tree:
      return classlist::Contains(className, config.treeClasses);
    case ReadKind::Shell:
    case ReadKind::ShellChange:
      return classlist::Contains(className, config.shellClasses);
    case ReadKind::List:
      break;
  }
  return classlist::Contains(className, config.listClasses);
}

// Reads the view into the requester's mapping and sets its event. A request that does
// not come from the process that owns the keyboard hook, names no existing mapping or
// fails a check is left alone without an answer.
void Serve(const MSG& message) {
  HWND view = message.hwnd;
  if (!view || GetWindowThreadProcessId(view, nullptr) != GetCurrentThreadId()) return;
  SharedBlock* block = UsableSharedBlock();
  Config config;
  if (!block || !ReadConfig(*block, config)) return;
  const auto requester = static_cast<std::uint32_t>(message.lParam);
  const auto requestId = static_cast<std::uint32_t>(message.wParam);
  if (config.ownerProcessId == 0 || requester != config.ownerProcessId) return;

  char name[viewread::kObjectNameBytes];
  if (!viewread::ObjectName(name, sizeof(name), requester, requestId, true)) return;
  UniqueKernelHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
  if (!event || !viewread::ObjectName(name, sizeof(name), requester, requestId, false)) return;
  {
    UniqueKernelHandle mapping(OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name));
    if (!mapping) return;
    UniqueMappedView memory(MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!memory) return;
    MEMORY_BASIC_INFORMATION info;
    const SIZE_T mapped = VirtualQuery(memory.Get(), &info, sizeof(info)) ? info.RegionSize : 0;
    viewread::RequestFacts facts;
    if (!viewread::CheckRequest(memory.Get(), mapped, requestId, requester, HandleValue(view), facts)) return;
    AnswerWriter writer(memory.Get(), facts, SetEventOf, event.Get());
    if (!IsViewOfKind(view, config, facts.kind)) {
      writer.Finish(viewread::Status::Refused);
    } else if (facts.kind == ReadKind::Tree) {
      ReadTree(view, writer);
    } else if (facts.kind == ReadKind::Shell) {
      ServeShellRead(view, facts, writer);
    } else if (facts.kind == ReadKind::ShellChange) {
      ServeShellChange(view, memory.Get(), facts, writer);
    } else {
      ReadList(view, writer);
    }
  }  // The mapping is closed before the requester is told the answer is complete.
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
