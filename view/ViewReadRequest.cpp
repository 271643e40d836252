#include "view/ViewReadRequest.h"

#include <atomic>
#include <cstring>

#include "platform/Win32Handles.h"
#include "tapline/TaplineTypes.h"

namespace {

using viewread::ReadKind;
using viewread::RequestHeader;

std::uint64_t HandleValue(HWND window) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window));
}

// Copies the answer out of the shared mapping and checks it record by record: the view's
// process could write anything there, at any time, so only the copy is read.
ReadOutcome TakeAnswer(const void* memory, std::uint32_t capacity, ReadKind kind, ViewSnapshot& snapshot,
                       std::uint32_t& needed) {
  RequestHeader header;
  std::memcpy(&header, memory, sizeof(header));
  viewread::AnswerSummary summary;
  if (!viewread::ReadAnswer(header, capacity, summary)) return ReadOutcome::Refused;
  if (summary.status == viewread::Status::TooSmall) {
    needed = summary.needed;
    return summary.needed > capacity ? ReadOutcome::TooSmall : ReadOutcome::Refused;
  }
  if (summary.status != viewread::Status::Done || summary.recordCount != summary.itemCount) {
    return ReadOutcome::Refused;
  }
  if (kind == ReadKind::List && summary.selectedCount > summary.itemCount) return ReadOutcome::Refused;

  std::vector<std::uint8_t> data(summary.dataBytes);
  if (!data.empty()) std::memcpy(data.data(), static_cast<const std::uint8_t*>(memory) + sizeof(header), data.size());

  ViewSnapshot out;
  out.itemCount = static_cast<int>(summary.itemCount);
  out.selectedCount = static_cast<int>(summary.selectedCount);
  out.root = static_cast<TreeItem>(summary.root);
  out.caret = static_cast<TreeItem>(summary.caret);
  out.lastVisible = static_cast<TreeItem>(summary.lastVisible);
  out.items.reserve(summary.recordCount);
  out.texts.reserve(data.size());
  std::size_t offset = 0;
  viewread::Record record;
  for (std::uint32_t i = 0; i < summary.recordCount; ++i) {
    if (!viewread::NextRecord(data.data(), data.size(), offset, record)) return ReadOutcome::Refused;
    // A list answer holds every index once, in order.
    if (kind == ReadKind::List && record.item != i) return ReadOutcome::Refused;
    ViewSnapshot::Item item;
    item.item = static_cast<TreeItem>(record.item);
    item.state = record.state & viewread::kListStateMask;
    item.hasText = record.hasText;
    item.textOffset = static_cast<std::uint32_t>(out.texts.size());
    item.textLength = record.textLength;
    out.texts.append(reinterpret_cast<const char*>(record.text), record.textLength);
    out.items.push_back(item);
  }
  out.answerBytes = sizeof(header) + data.size();
  snapshot = std::move(out);
  return ReadOutcome::Read;
}

}  // namespace

bool ViewSnapshot::Text(std::size_t i, std::string& text) const {
  if (i >= items.size() || !items[i].hasText) {
    text.clear();
    return false;
  }
  text.assign(texts, items[i].textOffset, items[i].textLength);
  return true;
}

UINT ReadViewMessageNumber() {
  static const UINT number = RegisterWindowMessageA(KANASIFT_MSG_READ_VIEW);
  return number;
}

std::uint32_t NextReadRequestId() {
  // Started somewhere unpredictable, so that a request of an earlier process with the
  // same id, still queued somewhere, is unlikely to meet a name of ours.
  static std::atomic<std::uint32_t> next{GetTickCount() * 2654435761u};
  return next.fetch_add(1, std::memory_order_relaxed);
}

ReadOutcome ReadWholeView(HWND view, ReadKind kind, std::uint32_t capacity, ViewSnapshot& snapshot,
                          std::uint32_t& needed, const ReadWaits& waits) {
  needed = 0;
  DWORD viewProcessId = 0;
  if (!view || !GetWindowThreadProcessId(view, &viewProcessId)) return ReadOutcome::NoAnswer;
  const UINT message = ReadViewMessageNumber();
  if (message == 0 || capacity < sizeof(RequestHeader) || capacity > viewread::kMaxCapacity) {
    return ReadOutcome::Refused;
  }

  const std::uint32_t self = GetCurrentProcessId();
  const std::uint32_t requestId = NextReadRequestId();
  char name[viewread::kObjectNameBytes];
  if (!viewread::ObjectName(name, sizeof(name), self, requestId, false)) return ReadOutcome::Refused;
  // A name that already exists was made by someone else: nothing in it can be trusted.
  UniqueKernelHandle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, capacity, name));
  if (!mapping || GetLastError() == ERROR_ALREADY_EXISTS) return ReadOutcome::Refused;
  UniqueMappedView memory(MapViewOfFile(mapping.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, capacity));
  if (!memory) return ReadOutcome::Refused;
  viewread::WriteRequest(memory.Get(), capacity, requestId, self, kind, HandleValue(view));

  if (!viewread::ObjectName(name, sizeof(name), self, requestId, true)) return ReadOutcome::Refused;
  UniqueKernelHandle done(CreateEventA(nullptr, TRUE, FALSE, name));
  if (!done || GetLastError() == ERROR_ALREADY_EXISTS) return ReadOutcome::Refused;
  // Waiting on the process too ends the wait at once when it dies.
  UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, viewProcessId));
  HANDLE handles[2] = {done.Get(), process.Get()};
  const DWORD handleCount = process ? 2 : 1;

  if (!PostMessageA(view, message, static_cast<WPARAM>(requestId), static_cast<LPARAM>(self))) {
    return IsWindow(view) ? ReadOutcome::Refused : ReadOutcome::NoAnswer;
  }
  DWORD woke = WaitForMultipleObjects(handleCount, handles, FALSE, waits.answerMs);
  if (woke == WAIT_TIMEOUT) {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(view, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, waits.probeMs, &ignored)) {
      return ReadOutcome::NoAnswer;
    }
    woke = WaitForMultipleObjects(handleCount, handles, FALSE, waits.graceMs);
    if (woke == WAIT_TIMEOUT) return ReadOutcome::Ignored;
  }
  if (woke != WAIT_OBJECT_0) return ReadOutcome::NoAnswer;
  return TakeAnswer(memory.Get(), capacity, kind, snapshot, needed);
}
