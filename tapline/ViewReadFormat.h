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
// A shell view (the file pane of today's Explorer, the common file dialogs) is read the
// same way (kind Shell), but its names come from the shell's own interfaces, which are
// slow in some shells: the library keeps them and pauses a long first read now and then
// (status Yielded) so that the view's thread can take its other messages; Kanasift sets
// the status back to Pending and posts the request again, and the answer goes on where
// it stopped. Changes to a shell view (kind ShellChange) carry their arguments behind
// the header: which items to select, by their place in an answer of one generation.
// A list view's selection change (kind ListChange) is carried the same way, its
// "generation" the item count of the answer the indices come from: the whole change of
// a search step is one request, instead of a message per state and one for the scrolling.
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
constexpr std::uint32_t kFormatVersion = 4;

// A view cuts a name at 259 bytes; its text buffer holds 260 with the NUL.
constexpr std::uint32_t kTextBufferBytes = 260;
constexpr std::uint32_t kNameMax = kTextBufferBytes - 1;

// The list-view state bits an answer carries: focused, selected, state image.
constexpr std::uint32_t kListStateMask = 0xF003;

// The most items one answer may hold: a view beyond is read item by item, and an answer
// that claims more is not believed.
constexpr std::uint32_t kMaxItems = 1u << 20;

// The largest mapping either side will use for one answer (about 200,000 names).
constexpr std::uint32_t kMaxCapacity = 64u << 20;

// Object names: "Kanasift::Tapline.ViewRead.<pid>.<request>" and the same + ".done".
constexpr std::size_t kObjectNameBytes = 80;

enum class ReadKind : std::uint32_t {
  List = 1,         // every item of a list view, in index order
  Tree = 2,         // the visible items of a tree view, in display order from the first root
  Shell = 3,        // every item of the shell view that holds the window, in the view's order
  ShellChange = 4,  // select items of that shell view (arguments behind the header)
  TreeSelect = 5,   // make a tree item the caret, if it is still there with its name (arguments behind the header)
  ListChange = 6,   // select items of a list view by index, as a ShellChange does (arguments behind the header)
};

enum class Status : std::uint32_t {
  Pending = 0,    // written by Kanasift; the library answers only such a request
  Done = 1,       // every record is published
  TooSmall = 2,   // the records that fitted are published; the whole answer needs `needed` bytes
  Refused = 3,    // the window is not a view of the kind asked for
  Failed = 4,     // the view misbehaved (a tree whose visible items do not end)
  Streaming = 5,  // the summary is valid; records are being published
  Stopped = 6,    // Kanasift asked for no more
  Yielded = 7,    // shell: the view's thread paused; the records so far stay, set the
                  // status back to Pending and post the request again to go on
  Busy = 8,       // reads have had their share of the view's thread for now (ServeShare.h):
                  // nothing was read; ask again later, not item by item meanwhile
};

// Bits of RequestHeader::control, set by Kanasift, taken by the library.
constexpr std::uint32_t kControlWake = 1;  // set the event once `wakeAt` records are published
constexpr std::uint32_t kControlStop = 2;  // end the answer at the next publication

constexpr std::uint32_t kNoItem = 0xFFFFFFFFu;  // firstSelected of a list without selection

// Bits of RequestHeader::flags in a shell answer.
constexpr std::uint32_t kShellCheckBoxes = 1;  // the view shows check boxes (they show the selection)
constexpr std::uint32_t kShellHaveRect = 2;    // the rect fields hold the focused item's place
constexpr std::uint32_t kShellViewOrder = 4;   // the order is the view's own (else its item order)
constexpr std::uint32_t kShellNamesPending = 8;  // some names were still to be read when the answer began
constexpr std::uint32_t kShellIdsTrusted = 16;   // the kept IDs were served without taking every one anew

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
  // Shell views. Written by the library in an answer, by Kanasift in a ShellChange
  // request (the generation its places belong to).
  std::uint32_t generation;
  std::uint32_t flags;          // kShell* bits of an answer
  std::uint32_t argumentBytes;  // ShellChange: bytes of arguments behind the header
  std::uint32_t rectLeft;       // the focused item's place after a change, in client
  std::uint32_t rectTop;        // coordinates of the request's window (signed values)
  std::uint32_t rectRight;
  std::uint32_t rectBottom;
  std::uint32_t namesRead;  // shell: display names the library read through the shell (all parts)
  // Written by Kanasift: the key of this run of Kanasift, which the library compares
  // with the one in the configuration (tapline/SharedLayout.h) before it does anything.
  std::uint32_t keyLow;
  std::uint32_t keyHigh;
  std::uint32_t reserved[2];
};
static_assert(sizeof(RequestHeader) == 144, "the header is 36 words in every process");

// The arguments of a ShellChange request: this head, then `count` operations, carried
// out in order. Each names an item by its place in the answer of `generation`.
struct ChangeHead {
  std::uint32_t count;
  std::uint32_t folderFlagsMask;  // folder flags to change first (0: none)
  std::uint32_t folderFlags;
  std::uint32_t reserved;
};
struct ChangeOperation {
  std::uint32_t position;
  std::uint32_t flags;  // kSelect* bits
};
static_assert(sizeof(ChangeHead) == 16 && sizeof(ChangeOperation) == 8, "plain words");

// The argument of a TreeSelect request: the item as the answer named it, with its name
// as it was read then. The library selects it only while it is still a visible item of
// the tree with that very name: a handle of an item that was deleted since (or, reused,
// now names another) never reaches the tree view.
struct TreeSelectArgs {
  std::uint32_t itemLow;
  std::uint32_t itemHigh;
  std::uint32_t textLength;  // at most kNameMax
  std::uint32_t hasText;
  char text[260];
};
static_assert(sizeof(TreeSelectArgs) == 276, "plain words and bytes");

// Operation bits, with the values of the shell's own SVSI_ flags.
constexpr std::uint32_t kSelectDeselect = 0x0;
constexpr std::uint32_t kSelectSelect = 0x1;
constexpr std::uint32_t kSelectDeselectOthers = 0x4;
constexpr std::uint32_t kSelectEnsureVisible = 0x8;
constexpr std::uint32_t kSelectFocused = 0x10;
constexpr std::uint32_t kSelectKnownBits = 0x1D;
// The most operations one request may carry.
constexpr std::uint32_t kMaxChangeOperations = 1u << 20;
// Folder-flag bits a request may change: check boxes that show the selection.
constexpr std::uint32_t kFolderCheckSelect = 0x08000000;  // FWF_CHECKSELECT

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
                  ReadKind kind, std::uint64_t view, std::uint64_t key);

// The library: what it may rely on once a request passed the checks.
struct RequestFacts {
  ReadKind kind = ReadKind::List;
  std::uint32_t capacity = 0;  // never more than the mapped size
  // Shell: a request posted again after Yielded goes on from here.
  std::uint32_t resumeRecords = 0;
  std::uint32_t resumeBytes = 0;
  std::uint32_t generation = 0;  // Shell after Yielded, ShellChange: as Kanasift wrote it
};

// True when the mapping holds a pending request of this format for exactly this request
// number, requester, view and key (0 never passes), whose capacity fits the header and
// the mapped size. Every field is read once, so a request changed meanwhile cannot pass
// one check and then hand over another value. A shell read may be pending again after
// Yielded: its published records must then hold together within the capacity (they are
// taken as the place to go on from); any other request must have none.
bool CheckRequest(const void* mapping, std::size_t mappedSize, std::uint32_t requestId,
                  std::uint32_t requesterProcessId, std::uint64_t view, std::uint64_t key, RequestFacts& facts);

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
  // Kanasift asked for no more: looked at afresh on every call, also once the answer no
  // longer fits, so that a read nobody waits for ends at its next item.
  bool Stopped();

  // Records are published in groups of this many.
  static constexpr std::uint32_t kPublishEvery = 64;

  // Shell: goes on with an answer that was Yielded (the facts' resume counts): the
  // summary is published again, the records so far stay.
  void Resume(std::uint32_t itemCount, std::uint32_t selectedCount, std::uint32_t firstSelected);
  // Shell: what the answer says beyond the counts; written before Begin or Resume.
  void SetShellFacts(std::uint32_t generation, std::uint32_t flags);
  // Shell: the view's thread pauses here (Yielded); the request is to be posted again.
  void PauseHere();
  // ShellChange: the focused item's place, then Done.
  void FinishChange(bool haveRect, std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
  std::uint32_t Records() const { return records_; }
  // Shell: one more display name read through the shell for this answer.
  void CountNameRead();
  // Bytes the answer needs beyond the records added (items not read when it overflowed).
  void CountMore(std::uint64_t bytes) { needed_ += bytes; }

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
  std::uint32_t generation = 0;
  std::uint32_t flags = 0;
  std::uint32_t namesRead = 0;
  bool haveRect = false;
  std::int32_t rectLeft = 0;
  std::int32_t rectTop = 0;
  std::int32_t rectRight = 0;
  std::int32_t rectBottom = 0;
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
// Kanasift: a Yielded answer is to go on; true when it was Yielded (and is Pending now).
bool AskToGoOn(void* mapping);

// Kanasift: writes the arguments of a ShellChange request behind the header (the
// header written before); false when they do not fit the capacity.
bool WriteChange(void* mapping, std::uint32_t capacity, std::uint32_t generation, std::uint32_t folderFlagsMask,
                 std::uint32_t folderFlags, const ChangeOperation* operations, std::uint32_t count);
// The library: the head of a checked ShellChange request, copied out of the mapping;
// false when the arguments do not fit the capacity or name unknown folder flags.
bool ReadChange(const void* mapping, const RequestFacts& facts, ChangeHead& head);
// The library: operation `i` (below head.count) copied out, unknown bits cleared.
ChangeOperation OperationAt(const void* mapping, std::uint32_t i);
// The bytes a ShellChange request of `count` operations needs, header included.
std::uint32_t ChangeBytes(std::uint32_t count);

// Kanasift: writes the argument of a TreeSelect request behind the header; false when
// it does not fit the capacity.
bool WriteTreeSelect(void* mapping, std::uint32_t capacity, std::uint64_t item, bool hasText, const char* text,
                     std::uint32_t length);
// The library: the argument of a checked TreeSelect request, copied out of the mapping;
// false when it does not fit the capacity or names a longer text than a view holds.
bool ReadTreeSelect(const void* mapping, const RequestFacts& facts, TreeSelectArgs& args);
// The bytes a TreeSelect request needs, header included.
constexpr std::uint32_t kTreeSelectBytes = sizeof(RequestHeader) + sizeof(TreeSelectArgs);

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
