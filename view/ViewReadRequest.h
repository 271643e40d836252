// Kanasift's side of one whole-view read (tapline/ViewReadFormat.h, docs/batch-reader.md):
// a mapping and an event of the request's own, the request posted to the view, bounded
// waits, and copies of what the library publishes, checked record by record. The answer
// arrives in pieces: the summary first, then the records as the view's thread reads
// them, so the caller can use the first names while the rest are still being read.
//
// The mapping belongs to this process; the view's process opens it only while it writes
// the answer.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Win32Handles.h"
#include "tapline/ViewReadFormat.h"
#include "view/ViewAccess.h"

// The items of one view as the hook library read them inside the view's process (so
// far: `items` grows while the answer streams in).
struct ViewSnapshot {
  struct Item {
    TreeItem item = 0;  // list: the index; tree: the item handle
    std::uint32_t state = 0;  // list: the bits of viewread::kListStateMask
    bool hasText = false;     // the view answered the item message
    std::uint32_t textOffset = 0;
    std::uint32_t textLength = 0;
  };

  int itemCount = 0;       // list: every item; tree: the visible items, once complete
  int selectedCount = 0;   // list only
  int firstSelected = -1;  // list only: the lowest selected index
  TreeItem root = 0;       // tree only: first root item, caret, last visible item
  TreeItem caret = 0;
  TreeItem lastVisible = 0;
  std::uint32_t generation = 0;  // shell: the library's generation of the names
  std::uint32_t shellFlags = 0;  // shell: viewread::kShell* bits
  std::uint32_t namesRead = 0;   // shell: names the library read through the shell for this answer
  std::vector<Item> items;  // list: by index; tree: in display order; shell: in the view's order
  std::string texts;        // every name, one after another
  std::size_t answerBytes = 0;  // the size of the answer in the shared mapping so far

  // The name of items[i] as the per-item reader's ItemText gives it; false (and an empty
  // text) when the view did not answer for that item.
  bool Text(std::size_t i, std::string& text) const;
};

enum class ReadOutcome {
  Read,      // the summary (and what the call waited for) is there
  TooSmall,  // the answer needs a larger mapping (Needed()); the records that fitted are there
  Refused,   // no usable answer (the library declined, the answer was malformed, or the
             // request could not be made): read item by item instead
  Ignored,   // the view's thread takes messages but nobody answered the request
  NoAnswer,  // the view's thread stopped taking messages, or its process or window went away
};

// The waits of one request. A healthy view answers within 1-3 ms under Wine; a view whose
// thread is busy longer than `answerMs` is probed with WM_NULL (bounded by `probeMs`), and
// a thread that answers the probe gets `graceMs` more for the request, which by then is
// at the head of its queue. A hung thread is given up after answerMs + probeMs, the bound
// of one message of the per-item reader. Once the answer streams, each further piece
// gets the same bounds; a wake-up that brings nothing new (the event is set by someone
// else) does not start the wait again. Whatever comes, the whole request is given up
// `requestMs` after it was posted (the first read of a large folder through the shell,
// in pieces, takes a few seconds under Wine).
struct ReadWaits {
  DWORD answerMs = 750;
  DWORD probeMs = 250;
  DWORD graceMs = 250;
  DWORD requestMs = 10000;
};

// What the batch reader has done, for tests and benchmarks.
struct BatchCounters {
  unsigned snapshots = 0;     // views whose names or states were wanted
  unsigned notServed = 0;     // ... read item by item at once: no request was posted
  unsigned requests = 0;      // requests posted (a retry with a larger mapping counts again)
  unsigned answers = 0;       // operations served by an answer (a retry is not counted again)
  unsigned fallbacks = 0;     // requested, but read item by item after all
  unsigned lost = 0;          // the view did not answer: the operation gave up
  unsigned perItemNames = 0;  // names read with one message each
  unsigned shellNamesRead = 0;  // shell views: names the library had to read through the shell
  unsigned treeSelects = 0;   // tree carets set through the library (an answer's item, checked there)
  unsigned listChanges = 0;   // list selection changes carried out by the library in one request
  unsigned readsOn = 0;       // shell views: background reads of the names a step left unread
  unsigned idsTrusted = 0;    // shell views: answers from the kept IDs, without taking every one anew
  unsigned busy = 0;          // reads refused for the view thread's share: the step gave up
  unsigned keptWarm = 0;      // shell views: background reads that took the IDs again after a key
  unsigned keptNames = 0;     // lists: steps that matched names kept from an earlier answer
  unsigned keptStale = 0;     // ... and found them out of date: the step read the view's own
  unsigned keptChecks = 0;    // ... candidates checked with one message to the view
  unsigned namesKept = 0;     // lists: whole answers kept (of a step or read in the background)
  std::size_t lastAnswerBytes = 0;
};

// One request and its answer. `key` is the one the hook library published for this run
// (Tapline::viewReadKey): the library serves no request without it. A request that is
// still being answered when the object goes is stopped, so the view's thread never reads
// on for nobody.
class ViewRead {
 public:
  ViewRead(HWND view, viewread::ReadKind kind, std::uint64_t key, const ReadWaits& waits = ReadWaits());
  ~ViewRead() { Stop(); }
  ViewRead(const ViewRead&) = delete;
  ViewRead& operator=(const ViewRead&) = delete;

  // Posts the request and waits for the summary. The caller has made sure that the
  // library watches the view's thread.
  ReadOutcome Begin(std::uint32_t capacity);
  // Posts the request and returns at once; Poll() takes what has come since.
  ReadOutcome Post(std::uint32_t capacity);
  // Takes what is published without waiting (and asks a paused answer to go on): Read
  // while the answer holds together, whether or not anything new came.
  ReadOutcome Poll() { return Take(); }
  // A ShellChange request: posts the operations and waits until they are carried out
  // (Read), refused or failed (Refused), or the view does not answer (NoAnswer).
  ReadOutcome Change(std::uint32_t generation, std::uint32_t folderFlagsMask, std::uint32_t folderFlags,
                     const std::vector<viewread::ChangeOperation>& operations);
  // After a Change: the focused item's place, when the shell told it.
  bool ChangedRect(ItemRect& rect) const;
  // A TreeSelect request: the library makes the item the caret while it is still a
  // visible item of the tree with the name it had in the answer (Read); Refused when it
  // is gone or changed, NoAnswer when the view does not answer.
  ReadOutcome SelectTreeItem(TreeItem item, bool hasText, const std::string& text);
  // Waits until `count` records are there or the answer is complete (Read), or until it
  // ended short: TooSmall (ask again with Needed()), Refused, NoAnswer.
  ReadOutcome WaitFor(std::size_t count);
  ReadOutcome WaitForAll() { return WaitFor(static_cast<std::size_t>(-1)); }
  // Asks the library to end the answer early: nothing more is needed, and the view's
  // thread should be free for what comes next.
  void Stop();

  viewread::ReadKind Kind() const { return kind_; }
  bool Complete() const { return complete_; }
  bool SummaryArrived() const { return summary_; }
  // Refused because reads have had their share of the view's thread for now: reading the
  // view item by item instead would take far more of that thread.
  bool Busy() const { return complete_ && status_ == viewread::Status::Busy; }
  std::uint32_t Needed() const { return needed_; }
  const ViewSnapshot& Snapshot() const { return snapshot_; }
  ViewSnapshot& Snapshot() { return snapshot_; }

 private:
  // Creates the mapping and the event and writes the request header.
  ReadOutcome Make(std::uint32_t capacity);
  // Posts the request (a list's own item count asked first).
  ReadOutcome Send();
  // Takes what is published; Read while the answer holds together.
  ReadOutcome Take();
  // Waits until `wakeAt` records may be there (or the status changed); Read then.
  ReadOutcome WaitForNews(std::uint32_t wakeAt, bool summaryArrived);
  // Waits on the event (and the view's process) until `wakeAt` records are published or
  // the status changed, for at most `ms`, and never beyond the request's deadline.
  DWORD WaitForProgress(std::uint32_t wakeAt, DWORD ms);
  bool Arrived(std::uint32_t wakeAt) const;
  // Waits for the final status of a request that changes the view (Change, SelectTreeItem).
  ReadOutcome WaitUntilDone();

  HWND view_;
  viewread::ReadKind kind_;
  std::uint64_t key_;
  ReadWaits waits_;
  DWORD postedAt_ = 0;
  bool posted_ = false;
  // A list answer must name as many items as the view itself had just before (0xFFFFFFFF
  // when not asked).
  std::uint32_t viewItemCount_ = 0xFFFFFFFFu;
  std::uint32_t capacity_ = 0;
  UniqueKernelHandle mapping_;
  UniqueMappedView memory_;
  UniqueKernelHandle event_;
  UniqueKernelHandle process_;
  ViewSnapshot snapshot_;
  viewread::Status status_ = viewread::Status::Pending;
  std::uint32_t publishedRecords_ = 0;
  std::size_t takenBytes_ = 0;
  std::vector<std::uint8_t> piece_;
  std::uint32_t needed_ = 0;
  std::uint32_t requestId_ = 0;
  bool summary_ = false;
  bool complete_ = false;
  bool haveRect_ = false;
  ItemRect rect_;
};

// The whole answer at once (a retry with a larger mapping is the caller's).
ReadOutcome ReadWholeView(HWND view, viewread::ReadKind kind, std::uint64_t key, std::uint32_t capacity,
                          ViewSnapshot& snapshot, std::uint32_t& needed, const ReadWaits& waits = ReadWaits());

// The registered number of "Kanasift::UM_READ_VIEW".
UINT ReadViewMessageNumber();
// A fresh request number (unique in this process).
std::uint32_t NextReadRequestId();
