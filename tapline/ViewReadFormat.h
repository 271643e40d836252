// One read of a whole view, carried out by the hook library inside the view's own
// process: Kanasift asks for the names and states of all items of a list view (or the
// visible items of a tree view) and gets them through shared memory, instead of paying a
// round trip into the view's process for every item.
//
// The exchange (docs/batch-reader.md):
//   1. Kanasift creates a file mapping and an auto-reset event, both named after its
//      process id and a request number (ObjectName), writes the request header at the
//      start of the mapping and posts "Kanasift::UM_READ_VIEW" (wParam the request
//      number, lParam its process id) to the view.
//   2. The library's message hook sees the message in the view's thread, opens the
//      mapping by name and checks the request (CheckRequest). It publishes the summary
//      (counts, first selected item; tree: root, caret, last visible item) with the
//      status Streaming and sets the event, then writes the records behind the header,
//      publishing them every few dozen (AnswerWriter). Kanasift can match the first
//      names while the view's thread reads the rest. The final status comes last; the
//      library closes the mapping and sets the event again.
//   3. Kanasift copies what is published (ReadAnswer, NextRecord). When it needs more,
//      it names the number of records it waits for (`wakeAt`), sets the wake bit of
//      `control` and waits for the event with a bound; the library sets the event after
//      a publication only when that bit is set and that many records are out, so an
//      answer that Kanasift keeps up with costs no system call per chunk. When Kanasift needs no
//      more (its search found the item), it sets the stop bit, and the library ends the
//      answer at the next publication with the status Stopped, so that the view's thread
//      is free for the selection change that follows.
//
// Both sides treat the other's memory as untrusted: the library reads each request
// field once and writes nothing beyond the capacity the request names (nor beyond the
// mapping); Kanasift bounds every count and length it reads back, from copies.
//
// Plain data and code without Windows types: the hook library (guest code, no
// exceptions, no allocation) and Kanasift both use it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace viewread {

constexpr std::uint32_t kRequestMagic = 0x5256534B;  // "KSVR"
constexpr std::uint32_t kFormatVersion = 1;

// A view cuts a name at 259 bytes; its text buffer holds 260 with the NUL.
constexpr std::uint32_t kTextBufferBytes = 260;
constexpr std::uint32_t kNameMax = kTextBufferBytes - 1;

// The list-view state bits an answer carries: focused, selected, state image.
constexpr std::uint32_t kListStateMask = 0xF003;

// The largest mapping either side will use for one answer (about 200,000 names).
constexpr std::uint32_t kMaxCapacity = 64u << 20;

// Object names: "Kanasift::Tapline.ViewRead.<pid>.<request>" and the same + ".done".
constexpr std::size_t kObjectNameBytes = 80;

enum class ReadKind : std::uint32_t {
  List = 1,  // every item of a list view, in index order
  Tree = 2,  // the visible items of a tree view, in display order from the first root
};

enum class Status : std::uint32_t {
  Pending = 0,    // written by Kanasift; the library answers only such a request
  Done = 1,       // every record is published
  TooSmall = 2,   // the records that fitted are published; the whole answer needs `needed` bytes
  Refused = 3,    // the window is not a view of the kind asked for
  Failed = 4,     // the view misbehaved (a tree whose visible items do not end)
  Streaming = 5,  // the summary is valid; records are being published
  Stopped = 6,    // Kanasift asked for no more
};

// Bits of RequestHeader::control, set by Kanasift, taken by the library.
constexpr std::uint32_t kControlWake = 1;  // set the event once `wakeAt` records are published
constexpr std::uint32_t kControlStop = 2;  // end the answer at the next publication

constexpr std::uint32_t kNoItem = 0xFFFFFFFFu;  // firstSelected of a list without selection

// At the start of the mapping. Only 32-bit words, so that each field is read and
// written whole and the layout is the same in every process; 64-bit values (window and
// item handles) are split into low and high words.
struct RequestHeader {
  // Written by Kanasift before the request is posted.
  std::uint32_t magic;
  std::uint32_t version;
  std::uint32_t headerSize;
  std::uint32_t requestId;
  std::uint32_t requesterProcessId;
  std::uint32_t kind;
  std::uint32_t viewLow;
  std::uint32_t viewHigh;
  std::uint32_t capacity;  // bytes of the mapping the answer may fill, header included
  // kControl* bits: set by Kanasift at any time, looked at by the library when it publishes.
  std::uint32_t control;
  std::uint32_t wakeAt;  // with kControlWake: the number of records Kanasift waits for
  // Written by the library: the summary before the status becomes Streaming, the
  // published counts as records are added, the final status last.
  std::uint32_t status;
  std::uint32_t needed;            // bytes of the whole answer, header included
  std::uint32_t itemCount;         // list: LVM_GETITEMCOUNT; tree: visible items (final)
  std::uint32_t selectedCount;     // list: LVM_GETSELECTEDCOUNT
  std::uint32_t firstSelected;     // list: LVM_GETNEXTITEM(-1, LVNI_SELECTED), kNoItem for none
  std::uint32_t publishedRecords;  // records complete behind the header
  std::uint32_t publishedBytes;    // their bytes
  std::uint32_t rootLow;  // tree: TVGN_ROOT, TVGN_CARET, TVGN_LASTVISIBLE
  std::uint32_t rootHigh;
  std::uint32_t caretLow;
  std::uint32_t caretHigh;
  std::uint32_t lastVisibleLow;
  std::uint32_t lastVisibleHigh;
};
static_assert(sizeof(RequestHeader) == 96, "the header is 24 words in every process");

// Each record: this head, then textLength bytes of text (no NUL), unaligned.
struct RecordHead {
  std::uint32_t itemLow;  // list: the index; tree: the item handle
  std::uint32_t itemHigh;
  std::uint32_t state;  // list: the state bits of kListStateMask; tree: 0
  std::uint16_t textLength;
  std::uint8_t hasText;  // the view answered the item message
  std::uint8_t reserved;
};
static_assert(sizeof(RecordHead) == 16, "a record head is 16 bytes");

// The name of the mapping (event false) or of the event (event true) of one request.
// False when `size` is too small.
bool ObjectName(char* out, std::size_t size, std::uint32_t requesterProcessId, std::uint32_t requestId,
                bool event);

// Kanasift: fills a fresh request header (the rest of the header zero).
void WriteRequest(void* mapping, std::uint32_t capacity, std::uint32_t requestId, std::uint32_t requesterProcessId,
                  ReadKind kind, std::uint64_t view);

// The library: what it may rely on once a request passed the checks.
struct RequestFacts {
  ReadKind kind = ReadKind::List;
  std::uint32_t capacity = 0;  // never more than the mapped size
};

// True when the mapping holds a pending request of this format for exactly this request
// number, requester and view, whose capacity fits the header and the mapped size. Every
// field is read once, so a request changed meanwhile cannot pass one check and then
// hand over another value.
bool CheckRequest(const void* mapping, std::size_t mappedSize, std::uint32_t requestId,
                  std::uint32_t requesterProcessId, std::uint64_t view, RequestFacts& facts);

// The library: writes an answer. The summary first, then the records one by one behind
// the header, never beyond the capacity; once a record does not fit nothing more is
// written, but every record still counts towards the size the whole answer needs.
class AnswerWriter {
 public:
  // `wake` is called (with `context`) when Kanasift waits for what was just published.
  using Wake = void (*)(void* context);
  AnswerWriter(void* mapping, const RequestFacts& facts, Wake wake = nullptr, void* context = nullptr);

  // Publishes the summary with the status Streaming and wakes Kanasift in any case.
  // Once Kanasift asked to stop (seen at a publication), Stopped() is true and further
  // records are not written.
  void Begin(std::uint32_t itemCount, std::uint32_t selectedCount, std::uint32_t firstSelected, std::uint64_t root,
             std::uint64_t caret, std::uint64_t lastVisible);

  void Add(std::uint64_t item, std::uint32_t state, bool hasText, const char* text, std::uint32_t length);

  // Publishes the rest and, last, the status: Done, or TooSmall with the size needed.
  // `itemCount` is the final count (a tree's visible items are known only now).
  void Finish(std::uint32_t itemCount);
  // Writes only the status.
  void Finish(Status status);

  bool Overflowed() const { return overflowed_; }
  bool Stopped() const { return stopped_; }

  // Records are published in groups of this many.
  static constexpr std::uint32_t kPublishEvery = 64;

 private:
  void Publish();

  std::uint8_t* base_;
  std::uint32_t capacity_;
  Wake wake_;
  void* context_;
  std::uint32_t used_;
  std::uint64_t needed_;
  std::uint32_t records_ = 0;
  std::uint32_t unpublished_ = 0;
  bool overflowed_ = false;
  bool stopped_ = false;
};

// The length of a name as a view hands it over: up to the NUL within the 260-byte text
// buffer (259 when there is none), without a lead byte of a double-byte character left
// alone at the end (a view cuts long names at a byte count).
using LeadBytePredicate = bool (*)(unsigned char byte);
std::uint32_t NameLength(const char* text, LeadBytePredicate isLeadByte);
// The same for bytes read from memory that may end early: `available` bytes at most.
std::uint32_t NameLength(const char* text, std::size_t available, LeadBytePredicate isLeadByte);

// Kanasift: what an answer says, from a header copied out of the mapping.
struct AnswerSummary {
  Status status = Status::Pending;
  std::uint32_t needed = 0;
  std::uint32_t itemCount = 0;
  std::uint32_t selectedCount = 0;
  std::uint32_t firstSelected = kNoItem;
  std::uint32_t publishedRecords = 0;
  std::uint32_t publishedBytes = 0;
  std::uint64_t root = 0;
  std::uint64_t caret = 0;
  std::uint64_t lastVisible = 0;
};

// Copies the header out of the mapping, with the status read first (acquire), so that
// everything the status and the published counts stand for is in the copy.
RequestHeader CopyHeader(const void* mapping);

// False when the header is not (yet) an answer that holds together with this capacity:
// Pending, a status out of range, published data beyond the capacity, more records than
// could fit, a first selected item beyond the items.
bool ReadAnswer(const RequestHeader& header, std::uint32_t capacity, AnswerSummary& summary);

// Kanasift: asks to be woken once `wakeAt` records are published (or the answer ends),
// and tells whether that is so already or the status changed since `status` (then there
// is no need to wait).
bool AskToBeWoken(void* mapping, std::uint32_t wakeAt, std::uint32_t status);
// Kanasift: asks the library to end the answer.
void AskToStop(void* mapping);

struct Record {
  std::uint64_t item = 0;
  std::uint32_t state = 0;
  bool hasText = false;
  const std::uint8_t* text = nullptr;
  std::uint32_t textLength = 0;
};

// Reads the record at `offset` of the `size` bytes of records and moves `offset` past
// it; false at the end or at a record that does not fit or claims a longer name than a
// view can hold.
bool NextRecord(const std::uint8_t* data, std::size_t size, std::size_t& offset, Record& record);

}  // namespace viewread
