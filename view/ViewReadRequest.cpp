#include "view/ViewReadRequest.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <commctrl.h>

#include "platform/OwnObjects.h"
#include "platform/Win32Handles.h"
#include "tapline/TaplineTypes.h"

namespace {

using viewread::ReadKind;
using viewread::RequestHeader;

// A caller waiting for more records is woken once this many more are out (or what it
// needs, if that is more).
constexpr std::uint64_t kWakeBatch = 256;

std::uint64_t HandleValue(HWND window) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window));
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

ViewRead::ViewRead(HWND view, ReadKind kind, std::uint64_t key, const ReadWaits& waits)
    : view_(view), kind_(kind), key_(key), waits_(waits) {}

ReadOutcome ViewRead::Begin(std::uint32_t capacity) {
  ReadOutcome made = Make(capacity);
  if (made != ReadOutcome::Read) return made;
  ReadOutcome posted = Send();
  if (posted != ReadOutcome::Read) return posted;
  for (;;) {
    ReadOutcome taken = Take();
    if (taken != ReadOutcome::Read || summary_) return taken;
    ReadOutcome news = WaitForNews(0xFFFFFFFFu, false);  // the summary wakes in any case
    if (news != ReadOutcome::Read) return news;
  }
}

ReadOutcome ViewRead::Post(std::uint32_t capacity) {
  ReadOutcome made = Make(capacity);
  return made == ReadOutcome::Read ? Send() : made;
}

ReadOutcome ViewRead::Change(std::uint32_t generation, std::uint32_t folderFlagsMask, std::uint32_t folderFlags,
                             const std::vector<viewread::ChangeOperation>& operations) {
  if (operations.size() > viewread::kMaxChangeOperations) return ReadOutcome::Refused;
  const auto count = static_cast<std::uint32_t>(operations.size());
  const std::uint32_t capacity = viewread::ChangeBytes(count);
  ReadOutcome made = Make(capacity);
  if (made != ReadOutcome::Read) return made;
  if (!viewread::WriteChange(memory_.Get(), capacity, generation, folderFlagsMask, folderFlags, operations.data(),
                             count)) {
    return ReadOutcome::Refused;
  }
  ReadOutcome posted = Send();
  return posted == ReadOutcome::Read ? WaitUntilDone() : posted;
}

ReadOutcome ViewRead::SelectTreeItem(TreeItem item, bool hasText, const std::string& text) {
  if (text.size() > viewread::kNameMax) return ReadOutcome::Refused;
  ReadOutcome made = Make(viewread::kTreeSelectBytes);
  if (made != ReadOutcome::Read) return made;
  if (!viewread::WriteTreeSelect(memory_.Get(), viewread::kTreeSelectBytes, item, hasText, text.data(),
                                 static_cast<std::uint32_t>(text.size()))) {
    return ReadOutcome::Refused;
  }
  ReadOutcome posted = Send();
  return posted == ReadOutcome::Read ? WaitUntilDone() : posted;
}

ReadOutcome ViewRead::WaitUntilDone() {
  for (;;) {
    ReadOutcome taken = Take();
    if (taken != ReadOutcome::Read || complete_) return taken;
    ReadOutcome news = WaitForNews(0xFFFFFFFFu, false);
    if (news != ReadOutcome::Read) return news;
  }
}

bool ViewRead::ChangedRect(ItemRect& rect) const {
  if (haveRect_) rect = rect_;
  return haveRect_;
}

ReadOutcome ViewRead::Make(std::uint32_t capacity) {
  capacity_ = capacity;
  DWORD viewProcessId = 0;
  if (!view_ || !GetWindowThreadProcessId(view_, &viewProcessId)) return ReadOutcome::NoAnswer;
  const UINT message = ReadViewMessageNumber();
  if (message == 0 || key_ == 0 || capacity < sizeof(RequestHeader) || capacity > viewread::kMaxCapacity) {
    return ReadOutcome::Refused;
  }

  const std::uint32_t self = GetCurrentProcessId();
  requestId_ = NextReadRequestId();
  char name[viewread::kObjectNameBytes];
  if (!viewread::ObjectName(name, sizeof(name), self, requestId_, false)) return ReadOutcome::Refused;
  // Made with Kanasift's own security; a name that already exists was made by someone
  // else: nothing in it can be trusted.
  bool created = false;
  mapping_.Reset(ownobj::CreateOwnMapping(name, capacity, created));
  if (!mapping_ || !created) return ReadOutcome::Refused;
  memory_.Reset(MapViewOfFile(mapping_.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, capacity));
  if (!memory_) return ReadOutcome::Refused;
  viewread::WriteRequest(memory_.Get(), capacity, requestId_, self, kind_, HandleValue(view_), key_);

  if (!viewread::ObjectName(name, sizeof(name), self, requestId_, true)) return ReadOutcome::Refused;
  event_.Reset(ownobj::CreateOwnEvent(name, false, created));
  if (!event_ || !created) return ReadOutcome::Refused;
  // Waiting on the process too ends a wait at once when it dies.
  process_.Reset(OpenProcess(SYNCHRONIZE, FALSE, viewProcessId));
  return ReadOutcome::Read;
}

ReadOutcome ViewRead::Send() {
  if (kind_ == ReadKind::List) {
    // The view's own count, asked before the view's thread is busy with the request: an
    // answer that names another count is not believed (a walk would otherwise go through
    // as many indices as the answer claims).
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(view_, LVM_GETITEMCOUNT, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, waits_.answerMs, &count)) {
      return ReadOutcome::NoAnswer;
    }
    viewItemCount_ = static_cast<std::uint32_t>(count);
  }
  postedAt_ = GetTickCount();
  posted_ = true;
  if (!PostMessageA(view_, ReadViewMessageNumber(), static_cast<WPARAM>(requestId_),
                    static_cast<LPARAM>(GetCurrentProcessId()))) {
    return IsWindow(view_) ? ReadOutcome::Refused : ReadOutcome::NoAnswer;
  }
  return ReadOutcome::Read;
}

ReadOutcome ViewRead::WaitFor(std::size_t count) {
  if (!memory_) return ReadOutcome::Refused;
  for (;;) {
    ReadOutcome taken = Take();
    if (taken != ReadOutcome::Read || complete_ || snapshot_.items.size() >= count) return taken;
    // Woken for a good part more than needed: fewer wake-ups while the view's thread
    // keeps ahead of the caller.
    const std::uint64_t more = static_cast<std::uint64_t>(publishedRecords_) + kWakeBatch;
    const std::uint64_t wakeAt = std::min<std::uint64_t>(std::max<std::uint64_t>(count, more), 0xFFFFFFFFu);
    ReadOutcome news = WaitForNews(static_cast<std::uint32_t>(wakeAt), true);
    if (news != ReadOutcome::Read) return news;
  }
}

void ViewRead::Stop() {
  if (memory_ && !complete_ && posted_) viewread::AskToStop(memory_.Get());
}

ReadOutcome ViewRead::Take() {
  if (complete_) {
    if (status_ == viewread::Status::Done) return ReadOutcome::Read;
    return status_ == viewread::Status::TooSmall && needed_ > capacity_ ? ReadOutcome::TooSmall : ReadOutcome::Refused;
  }
  const RequestHeader header = viewread::CopyHeader(memory_.Get());
  if (header.status == static_cast<std::uint32_t>(viewread::Status::Pending)) return ReadOutcome::Read;
  viewread::AnswerSummary summary;
  if (!viewread::ReadAnswer(header, capacity_, summary)) return ReadOutcome::Refused;
  if (summary.status == viewread::Status::Refused || summary.status == viewread::Status::Failed ||
      summary.status == viewread::Status::Stopped || summary.status == viewread::Status::Busy) {
    complete_ = true;
    status_ = summary.status;
    return ReadOutcome::Refused;
  }
  const bool list = kind_ == ReadKind::List || kind_ == ReadKind::Shell;
  if (kind_ == ReadKind::ShellChange || kind_ == ReadKind::ListChange || kind_ == ReadKind::TreeSelect) {
    if (summary.status != viewread::Status::Done) return ReadOutcome::Read;  // still at work
    complete_ = true;
    status_ = summary.status;
    haveRect_ = summary.haveRect;
    rect_ = {summary.rectLeft, summary.rectTop, summary.rectRight, summary.rectBottom};
    return ReadOutcome::Read;
  }
  if (!summary_) {
    if (kind_ == ReadKind::List && summary.itemCount != viewItemCount_) return ReadOutcome::Refused;
    summary_ = true;
    snapshot_.generation = summary.generation;
    snapshot_.shellFlags = summary.flags;
    snapshot_.itemCount = list ? static_cast<int>(summary.itemCount) : 0;
    snapshot_.selectedCount = list ? static_cast<int>(summary.selectedCount) : 0;
    snapshot_.firstSelected = list && summary.firstSelected != viewread::kNoItem ? static_cast<int>(summary.firstSelected) : -1;
    snapshot_.root = static_cast<TreeItem>(summary.root);
    snapshot_.caret = static_cast<TreeItem>(summary.caret);
    snapshot_.lastVisible = static_cast<TreeItem>(summary.lastVisible);
  }
  snapshot_.namesRead = summary.namesRead;
  // Published counts only grow; the published bytes hold at least the published records.
  if (summary.publishedRecords < publishedRecords_ || summary.publishedBytes < takenBytes_) return ReadOutcome::Refused;
  if (summary.publishedRecords > publishedRecords_) {
    // Only the copy is read: the view's process could change the mapping at any time.
    piece_.resize(summary.publishedBytes - takenBytes_);
    if (!piece_.empty()) {
      std::memcpy(piece_.data(), static_cast<const std::uint8_t*>(memory_.Get()) + sizeof(RequestHeader) + takenBytes_,
                  piece_.size());
    }
    std::size_t offset = 0;
    viewread::Record record;
    for (std::uint32_t i = publishedRecords_; i < summary.publishedRecords; ++i) {
      if (!viewread::NextRecord(piece_.data(), piece_.size(), offset, record)) return ReadOutcome::Refused;
      // A list answer holds every index once, in order, and no more than the count.
      if (list && (record.item != snapshot_.items.size() || snapshot_.items.size() >= summary.itemCount)) {
        return ReadOutcome::Refused;
      }
      ViewSnapshot::Item item;
      item.item = static_cast<TreeItem>(record.item);
      item.state = record.state & viewread::kListStateMask;
      item.hasText = record.hasText;
      item.textOffset = static_cast<std::uint32_t>(snapshot_.texts.size());
      item.textLength = record.textLength;
      snapshot_.texts.append(reinterpret_cast<const char*>(record.text), record.textLength);
      snapshot_.items.push_back(item);
    }
    takenBytes_ += offset;
    publishedRecords_ = summary.publishedRecords;
    snapshot_.answerBytes = sizeof(RequestHeader) + takenBytes_;
  }
  status_ = summary.status;
  if (summary.status == viewread::Status::Yielded) {
    // The view's thread paused a long read: ask it to go on where it stopped. The answer
    // must stay the one it began as.
    if (kind_ != ReadKind::Shell || summary.generation != snapshot_.generation) return ReadOutcome::Refused;
    if (viewread::AskToGoOn(memory_.Get())) {
      status_ = viewread::Status::Pending;
      if (!PostMessageA(view_, ReadViewMessageNumber(), static_cast<WPARAM>(requestId_),
                        static_cast<LPARAM>(GetCurrentProcessId()))) {
        return IsWindow(view_) ? ReadOutcome::Refused : ReadOutcome::NoAnswer;
      }
    }
    return ReadOutcome::Read;
  }
  if (summary.status == viewread::Status::TooSmall) {
    complete_ = true;
    needed_ = summary.needed;
    return needed_ > capacity_ ? ReadOutcome::TooSmall : ReadOutcome::Refused;
  }
  if (summary.status == viewread::Status::Done) {
    complete_ = true;
    if (snapshot_.items.size() != summary.itemCount) return ReadOutcome::Refused;
    snapshot_.itemCount = static_cast<int>(snapshot_.items.size());
  }
  return ReadOutcome::Read;
}

DWORD ViewRead::WaitForProgress(std::uint32_t wakeAt, DWORD ms) {
  HANDLE handles[2] = {event_.Get(), process_.Get()};
  const DWORD count = process_ ? 2 : 1;
  const DWORD start = GetTickCount();
  const DWORD requestSpent = start - postedAt_;
  const DWORD requestLeft = requestSpent >= waits_.requestMs ? 0 : waits_.requestMs - requestSpent;
  const DWORD limit = ms < requestLeft ? ms : requestLeft;
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    const DWORD left = spent >= limit ? 0 : limit - spent;
    const DWORD woke = WaitForMultipleObjects(count, handles, FALSE, left);
    if (woke != WAIT_OBJECT_0) return woke;
    // The event's name is known to every process of the user: only what the answer
    // shows counts, and a wake-up without it does not start the wait again.
    if (viewread::AskToBeWoken(memory_.Get(), wakeAt, static_cast<std::uint32_t>(status_))) return WAIT_OBJECT_0;
    if (left == 0) return WAIT_TIMEOUT;
  }
}

ReadOutcome ViewRead::WaitForNews(std::uint32_t wakeAt, bool summaryArrived) {
  if (viewread::AskToBeWoken(memory_.Get(), wakeAt, static_cast<std::uint32_t>(status_))) {
    return ReadOutcome::Read;
  }
  DWORD woke = WaitForProgress(wakeAt, waits_.answerMs);
  if (woke == WAIT_TIMEOUT) {
    // The request had all its time: whatever the view does, it is given up.
    if (GetTickCount() - postedAt_ >= waits_.requestMs) return ReadOutcome::NoAnswer;
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(view_, WM_NULL, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, waits_.probeMs, &ignored)) {
      return ReadOutcome::NoAnswer;
    }
    woke = WaitForProgress(wakeAt, waits_.graceMs);
    // A thread that takes messages but never began the answer has nobody to answer it;
    // one that stopped in the middle of an answer is in trouble.
    if (woke == WAIT_TIMEOUT) return summaryArrived ? ReadOutcome::NoAnswer : ReadOutcome::Ignored;
  }
  return woke == WAIT_OBJECT_0 ? ReadOutcome::Read : ReadOutcome::NoAnswer;
}

ReadOutcome ReadWholeView(HWND view, ReadKind kind, std::uint64_t key, std::uint32_t capacity, ViewSnapshot& snapshot,
                          std::uint32_t& needed, const ReadWaits& waits) {
  ViewRead read(view, kind, key, waits);
  ReadOutcome outcome = read.Begin(capacity);
  if (outcome == ReadOutcome::Read) outcome = read.WaitForAll();
  needed = read.Needed();
  if (outcome == ReadOutcome::Read) snapshot = std::move(read.Snapshot());
  return outcome;
}
