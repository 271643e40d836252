#include "tapline/ViewReadFormat.h"

#include <cstddef>
#include <cstring>

namespace viewread {

namespace {

constexpr char kNamePrefix[] = "Kanasift::Tapline.ViewRead.";
constexpr char kEventSuffix[] = ".done";

// Header fields live in memory that another process may write at any time: each is
// loaded and stored whole, exactly once where it is used.
std::uint32_t Load(const std::uint32_t& field) { return __atomic_load_n(&field, __ATOMIC_RELAXED); }
void Store(std::uint32_t& field, std::uint32_t value) { __atomic_store_n(&field, value, __ATOMIC_RELAXED); }

std::uint32_t Low(std::uint64_t value) { return static_cast<std::uint32_t>(value); }
std::uint32_t High(std::uint64_t value) { return static_cast<std::uint32_t>(value >> 32); }
std::uint64_t Join(std::uint32_t low, std::uint32_t high) {
  return static_cast<std::uint64_t>(low) | (static_cast<std::uint64_t>(high) << 32);
}

class TextOut {
 public:
  TextOut(char* out, std::size_t size) : out_(out), size_(size) {}
  void Append(const char* text) {
    for (; *text; ++text) Put(*text);
  }
  void AppendNumber(std::uint32_t value) {
    char digits[10];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (count > 0) Put(digits[--count]);
  }
  bool Finish() {
    if (length_ >= size_) return false;
    out_[length_] = '\0';
    return true;
  }

 private:
  void Put(char c) {
    if (length_ + 1 < size_) out_[length_] = c;
    ++length_;
  }
  char* out_;
  std::size_t size_;
  std::size_t length_ = 0;
};

RequestHeader& HeaderAt(void* mapping) { return *static_cast<RequestHeader*>(mapping); }

}  // namespace

bool ObjectName(char* out, std::size_t size, std::uint32_t requesterProcessId, std::uint32_t requestId, bool event) {
  if (!out || size == 0) return false;
  TextOut text(out, size);
  text.Append(kNamePrefix);
  text.AppendNumber(requesterProcessId);
  text.Append(".");
  text.AppendNumber(requestId);
  if (event) text.Append(kEventSuffix);
  if (text.Finish()) return true;
  out[0] = '\0';
  return false;
}

void WriteRequest(void* mapping, std::uint32_t capacity, std::uint32_t requestId, std::uint32_t requesterProcessId,
                  ReadKind kind, std::uint64_t view, std::uint64_t key) {
  RequestHeader& header = HeaderAt(mapping);
  std::memset(&header, 0, sizeof(header));
  header.magic = kRequestMagic;
  header.version = kFormatVersion;
  header.headerSize = sizeof(RequestHeader);
  header.requestId = requestId;
  header.requesterProcessId = requesterProcessId;
  header.kind = static_cast<std::uint32_t>(kind);
  header.viewLow = Low(view);
  header.viewHigh = High(view);
  header.capacity = capacity;
  header.keyLow = Low(key);
  header.keyHigh = High(key);
  header.status = static_cast<std::uint32_t>(Status::Pending);
}

bool CheckRequest(const void* mapping, std::size_t mappedSize, std::uint32_t requestId,
                  std::uint32_t requesterProcessId, std::uint64_t view, std::uint64_t key, RequestFacts& facts) {
  if (!mapping || mappedSize < sizeof(RequestHeader) || key == 0) return false;
  const RequestHeader& header = *static_cast<const RequestHeader*>(mapping);
  if (Load(header.magic) != kRequestMagic || Load(header.version) != kFormatVersion ||
      Load(header.headerSize) != sizeof(RequestHeader)) {
    return false;
  }
  if (Join(Load(header.keyLow), Load(header.keyHigh)) != key) return false;
  if (Load(header.requestId) != requestId || Load(header.requesterProcessId) != requesterProcessId) return false;
  if (Join(Load(header.viewLow), Load(header.viewHigh)) != view) return false;
  if (Load(header.status) != static_cast<std::uint32_t>(Status::Pending)) return false;
  std::uint32_t kind = Load(header.kind);
  if (kind < static_cast<std::uint32_t>(ReadKind::List) || kind > static_cast<std::uint32_t>(ReadKind::ListChange)) {
    return false;
  }
  std::uint32_t capacity = Load(header.capacity);
  if (capacity < sizeof(RequestHeader) || capacity > mappedSize || capacity > kMaxCapacity) return false;
  const std::uint32_t records = Load(header.publishedRecords);
  const std::uint32_t bytes = Load(header.publishedBytes);
  if (records != 0 || bytes != 0) {
    // Only a shell read goes on from what it published before.
    if (kind != static_cast<std::uint32_t>(ReadKind::Shell)) return false;
    if (bytes > capacity - sizeof(RequestHeader) || records > bytes / sizeof(RecordHead)) return false;
  }
  facts.kind = static_cast<ReadKind>(kind);
  facts.capacity = capacity;
  facts.resumeRecords = records;
  facts.resumeBytes = bytes;
  facts.generation = Load(header.generation);
  return true;
}

AnswerWriter::AnswerWriter(void* mapping, const RequestFacts& facts, Wake wake, void* context)
    : base_(static_cast<std::uint8_t*>(mapping)),
      capacity_(facts.capacity),
      wake_(wake),
      context_(context),
      used_(sizeof(RequestHeader) + facts.resumeBytes),
      needed_(sizeof(RequestHeader) + facts.resumeBytes),
      records_(facts.resumeRecords) {}

void AnswerWriter::Begin(std::uint32_t itemCount, std::uint32_t selectedCount, std::uint32_t firstSelected,
                         std::uint64_t root, std::uint64_t caret, std::uint64_t lastVisible) {
  RequestHeader& header = HeaderAt(base_);
  Store(header.itemCount, itemCount);
  Store(header.selectedCount, selectedCount);
  Store(header.firstSelected, firstSelected);
  Store(header.publishedRecords, 0);
  Store(header.publishedBytes, 0);
  Store(header.rootLow, Low(root));
  Store(header.rootHigh, High(root));
  Store(header.caretLow, Low(caret));
  Store(header.caretHigh, High(caret));
  Store(header.lastVisibleLow, Low(lastVisible));
  Store(header.lastVisibleHigh, High(lastVisible));
  __atomic_store_n(&header.status, static_cast<std::uint32_t>(Status::Streaming), __ATOMIC_SEQ_CST);
  if (__atomic_fetch_and(&header.control, ~kControlWake, __ATOMIC_SEQ_CST) & kControlStop) stopped_ = true;
  if (wake_) wake_(context_);  // Kanasift waits for the summary in any case
}

void AnswerWriter::SetShellFacts(std::uint32_t generation, std::uint32_t flags) {
  RequestHeader& header = HeaderAt(base_);
  Store(header.generation, generation);
  Store(header.flags, flags);
}

void AnswerWriter::Resume(std::uint32_t itemCount, std::uint32_t selectedCount, std::uint32_t firstSelected) {
  RequestHeader& header = HeaderAt(base_);
  Store(header.itemCount, itemCount);
  Store(header.selectedCount, selectedCount);
  Store(header.firstSelected, firstSelected);
  __atomic_store_n(&header.status, static_cast<std::uint32_t>(Status::Streaming), __ATOMIC_SEQ_CST);
  if (__atomic_fetch_and(&header.control, ~kControlWake, __ATOMIC_SEQ_CST) & kControlStop) stopped_ = true;
  if (wake_) wake_(context_);
}

void AnswerWriter::CountNameRead() {
  RequestHeader& header = HeaderAt(base_);
  Store(header.namesRead, Load(header.namesRead) + 1);
}

void AnswerWriter::PauseHere() {
  if (!overflowed_ && !stopped_) Publish();
  if (stopped_) {
    Finish(Status::Stopped);
    return;
  }
  if (overflowed_) {
    Finish(records_);
    return;
  }
  Finish(Status::Yielded);
}

void AnswerWriter::FinishChange(bool haveRect, std::int32_t left, std::int32_t top, std::int32_t right,
                                std::int32_t bottom) {
  RequestHeader& header = HeaderAt(base_);
  Store(header.rectLeft, static_cast<std::uint32_t>(left));
  Store(header.rectTop, static_cast<std::uint32_t>(top));
  Store(header.rectRight, static_cast<std::uint32_t>(right));
  Store(header.rectBottom, static_cast<std::uint32_t>(bottom));
  Store(header.flags, haveRect ? kShellHaveRect : 0);
  Store(header.firstSelected, kNoItem);
  Finish(Status::Done);
}

void AnswerWriter::Add(std::uint64_t item, std::uint32_t state, bool hasText, const char* text,
                       std::uint32_t length) {
  if (!text || !hasText) length = 0;
  if (length > kNameMax) length = kNameMax;
  const std::uint32_t size = static_cast<std::uint32_t>(sizeof(RecordHead)) + length;
  needed_ += size;
  if (overflowed_ || stopped_) return;
  if (size > capacity_ - used_) {  // used_ never exceeds capacity_
    overflowed_ = true;
    Publish();
    return;
  }
  RecordHead head = {};
  head.itemLow = Low(item);
  head.itemHigh = High(item);
  head.state = state;
  head.textLength = static_cast<std::uint16_t>(length);
  head.hasText = hasText ? 1 : 0;
  std::memcpy(base_ + used_, &head, sizeof(head));
  if (length > 0) std::memcpy(base_ + used_ + sizeof(head), text, length);
  used_ += size;
  ++records_;
  if (++unpublished_ >= kPublishEvery) Publish();
}

// The bytes first, then the count: whoever sees a count sees at least its bytes.
void AnswerWriter::Publish() {
  unpublished_ = 0;
  RequestHeader& header = HeaderAt(base_);
  __atomic_store_n(&header.publishedBytes, used_ - static_cast<std::uint32_t>(sizeof(RequestHeader)),
                   __ATOMIC_RELEASE);
  __atomic_store_n(&header.publishedRecords, records_, __ATOMIC_SEQ_CST);
  const std::uint32_t control = __atomic_load_n(&header.control, __ATOMIC_SEQ_CST);
  if (control & kControlStop) stopped_ = true;
  if ((control & kControlWake) && records_ >= __atomic_load_n(&header.wakeAt, __ATOMIC_SEQ_CST) &&
      (__atomic_fetch_and(&header.control, ~kControlWake, __ATOMIC_SEQ_CST) & kControlWake) && wake_) {
    wake_(context_);
  }
}

bool AnswerWriter::Stopped() {
  if (!stopped_ && (__atomic_load_n(&HeaderAt(base_).control, __ATOMIC_ACQUIRE) & kControlStop)) stopped_ = true;
  return stopped_;
}

void AnswerWriter::Finish(std::uint32_t itemCount) {
  if (!overflowed_ && !stopped_) Publish();
  RequestHeader& header = HeaderAt(base_);
  const std::uint64_t limit = 0xFFFFFFFFu;
  Store(header.needed, static_cast<std::uint32_t>(needed_ < limit ? needed_ : limit));
  Store(header.itemCount, itemCount);
  Finish(stopped_ ? Status::Stopped : overflowed_ ? Status::TooSmall : Status::Done);
}

void AnswerWriter::Finish(Status status) {
  __atomic_store_n(&HeaderAt(base_).status, static_cast<std::uint32_t>(status), __ATOMIC_SEQ_CST);
}

std::uint32_t NameLength(const char* text, LeadBytePredicate isLeadByte) {
  return NameLength(text, kTextBufferBytes, isLeadByte);
}

std::uint32_t NameLength(const char* text, std::size_t available, LeadBytePredicate isLeadByte) {
  if (!text || available == 0) return 0;
  std::size_t size = available < kTextBufferBytes ? available : kTextBufferBytes;
  const void* nul = std::memchr(text, 0, size);
  std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size - 1;
  std::size_t at = 0;
  while (at < length) {
    if (!isLeadByte(static_cast<unsigned char>(text[at]))) {
      ++at;
    } else if (at + 1 < length) {
      at += 2;
    } else {
      length = at;
    }
  }
  return static_cast<std::uint32_t>(length);
}

RequestHeader CopyHeader(const void* mapping) {
  const RequestHeader& shared = *static_cast<const RequestHeader*>(mapping);
  RequestHeader copy;
  copy.status = __atomic_load_n(&shared.status, __ATOMIC_ACQUIRE);
  copy.publishedRecords = __atomic_load_n(&shared.publishedRecords, __ATOMIC_ACQUIRE);
  copy.publishedBytes = __atomic_load_n(&shared.publishedBytes, __ATOMIC_ACQUIRE);
  const std::uint32_t* from = reinterpret_cast<const std::uint32_t*>(&shared);
  std::uint32_t* to = reinterpret_cast<std::uint32_t*>(&copy);
  const std::size_t skip[] = {offsetof(RequestHeader, status) / 4, offsetof(RequestHeader, publishedRecords) / 4,
                              offsetof(RequestHeader, publishedBytes) / 4};
  for (std::size_t i = 0; i < sizeof(RequestHeader) / 4; ++i) {
    if (i != skip[0] && i != skip[1] && i != skip[2]) to[i] = __atomic_load_n(&from[i], __ATOMIC_ACQUIRE);
  }
  return copy;
}

bool ReadAnswer(const RequestHeader& header, std::uint32_t capacity, AnswerSummary& summary) {
  const std::uint32_t status = header.status;
  if (status < static_cast<std::uint32_t>(Status::Done) || status > static_cast<std::uint32_t>(Status::Busy)) {
    return false;
  }
  if (capacity < sizeof(RequestHeader)) return false;
  summary.status = static_cast<Status>(status);
  summary.needed = header.needed;
  summary.itemCount = header.itemCount;
  summary.selectedCount = header.selectedCount;
  summary.firstSelected = header.firstSelected;
  summary.publishedRecords = header.publishedRecords;
  summary.publishedBytes = header.publishedBytes;
  summary.root = Join(header.rootLow, header.rootHigh);
  summary.caret = Join(header.caretLow, header.caretHigh);
  summary.lastVisible = Join(header.lastVisibleLow, header.lastVisibleHigh);
  summary.generation = header.generation;
  summary.flags = header.flags;
  summary.namesRead = header.namesRead;
  summary.haveRect = (header.flags & kShellHaveRect) != 0;
  summary.rectLeft = static_cast<std::int32_t>(header.rectLeft);
  summary.rectTop = static_cast<std::int32_t>(header.rectTop);
  summary.rectRight = static_cast<std::int32_t>(header.rectRight);
  summary.rectBottom = static_cast<std::int32_t>(header.rectBottom);
  if (summary.status == Status::Refused || summary.status == Status::Failed || summary.status == Status::Stopped ||
      summary.status == Status::Busy) {
    return true;
  }
  // Every record takes at least its head: a count beyond that is a lie.
  const std::uint32_t room = capacity - static_cast<std::uint32_t>(sizeof(RequestHeader));
  if (summary.publishedBytes > room || summary.publishedRecords > summary.publishedBytes / sizeof(RecordHead)) {
    return false;
  }
  if (summary.itemCount > kMaxItems || summary.selectedCount > summary.itemCount) return false;
  return summary.firstSelected == kNoItem || summary.firstSelected < summary.itemCount;
}

bool AskToBeWoken(void* mapping, std::uint32_t wakeAt, std::uint32_t status) {
  RequestHeader& header = HeaderAt(mapping);
  __atomic_store_n(&header.wakeAt, wakeAt, __ATOMIC_SEQ_CST);
  __atomic_fetch_or(&header.control, kControlWake, __ATOMIC_SEQ_CST);
  return __atomic_load_n(&header.publishedRecords, __ATOMIC_SEQ_CST) >= wakeAt ||
         __atomic_load_n(&header.status, __ATOMIC_SEQ_CST) != status;
}

void AskToStop(void* mapping) { __atomic_fetch_or(&HeaderAt(mapping).control, kControlStop, __ATOMIC_SEQ_CST); }

bool AskToGoOn(void* mapping) {
  std::uint32_t expected = static_cast<std::uint32_t>(Status::Yielded);
  return __atomic_compare_exchange_n(&HeaderAt(mapping).status, &expected, static_cast<std::uint32_t>(Status::Pending),
                                     false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
}

std::uint32_t ChangeBytes(std::uint32_t count) {
  const std::uint64_t bytes = sizeof(RequestHeader) + sizeof(ChangeHead) +
                              static_cast<std::uint64_t>(count) * sizeof(ChangeOperation);
  return bytes > kMaxCapacity ? kMaxCapacity + 1 : static_cast<std::uint32_t>(bytes);
}

bool WriteChange(void* mapping, std::uint32_t capacity, std::uint32_t generation, std::uint32_t folderFlagsMask,
                 std::uint32_t folderFlags, const ChangeOperation* operations, std::uint32_t count) {
  if (count > kMaxChangeOperations || ChangeBytes(count) > capacity) return false;
  RequestHeader& header = HeaderAt(mapping);
  header.generation = generation;
  header.argumentBytes = ChangeBytes(count) - static_cast<std::uint32_t>(sizeof(RequestHeader));
  ChangeHead head = {count, folderFlagsMask, folderFlags, 0};
  auto* base = static_cast<std::uint8_t*>(mapping) + sizeof(RequestHeader);
  std::memcpy(base, &head, sizeof(head));
  if (count > 0) std::memcpy(base + sizeof(head), operations, count * sizeof(ChangeOperation));
  return true;
}

bool ReadChange(const void* mapping, const RequestFacts& facts, ChangeHead& head) {
  if ((facts.kind != ReadKind::ShellChange && facts.kind != ReadKind::ListChange) ||
      facts.capacity < sizeof(RequestHeader) + sizeof(ChangeHead)) {
    return false;
  }
  const auto* words = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(mapping) +
                                                              sizeof(RequestHeader));
  head.count = Load(words[0]);
  head.folderFlagsMask = Load(words[1]);
  head.folderFlags = Load(words[2]) & head.folderFlagsMask;
  head.reserved = 0;
  if (head.count > kMaxChangeOperations || ChangeBytes(head.count) > facts.capacity) return false;
  // Folder flags belong to shell views.
  const std::uint32_t knownFlags = facts.kind == ReadKind::ShellChange ? kFolderCheckSelect : 0;
  return (head.folderFlagsMask & ~knownFlags) == 0;
}

ChangeOperation OperationAt(const void* mapping, std::uint32_t i) {
  const auto* words = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(mapping) +
                                                              sizeof(RequestHeader) + sizeof(ChangeHead) +
                                                              static_cast<std::size_t>(i) * sizeof(ChangeOperation));
  ChangeOperation operation;
  operation.position = Load(words[0]);
  operation.flags = Load(words[1]) & kSelectKnownBits;
  return operation;
}

bool WriteTreeSelect(void* mapping, std::uint32_t capacity, std::uint64_t item, bool hasText, const char* text,
                     std::uint32_t length) {
  if (capacity < kTreeSelectBytes || length > kNameMax || (length > 0 && !text)) return false;
  TreeSelectArgs args;
  std::memset(&args, 0, sizeof(args));
  args.itemLow = Low(item);
  args.itemHigh = High(item);
  args.hasText = hasText ? 1 : 0;
  args.textLength = hasText ? length : 0;
  if (args.textLength > 0) std::memcpy(args.text, text, args.textLength);
  std::memcpy(static_cast<std::uint8_t*>(mapping) + sizeof(RequestHeader), &args, sizeof(args));
  return true;
}

bool ReadTreeSelect(const void* mapping, const RequestFacts& facts, TreeSelectArgs& args) {
  if (facts.kind != ReadKind::TreeSelect || facts.capacity < kTreeSelectBytes) return false;
  const auto* base = static_cast<const std::uint8_t*>(mapping) + sizeof(RequestHeader);
  const auto* words = reinterpret_cast<const std::uint32_t*>(base);
  args.itemLow = Load(words[0]);
  args.itemHigh = Load(words[1]);
  args.textLength = Load(words[2]);
  args.hasText = Load(words[3]) != 0 ? 1 : 0;
  if (args.textLength > kNameMax || (!args.hasText && args.textLength != 0)) return false;
  // A copy: the requester's memory may change while the library compares.
  for (std::uint32_t i = 0; i < args.textLength; ++i) {
    args.text[i] = __atomic_load_n(reinterpret_cast<const char*>(base + offsetof(TreeSelectArgs, text)) + i,
                                   __ATOMIC_RELAXED);
  }
  args.text[args.textLength] = '\0';
  return true;
}

bool NextRecord(const std::uint8_t* data, std::size_t size, std::size_t& offset, Record& record) {
  if (!data || offset > size || size - offset < sizeof(RecordHead)) return false;
  RecordHead head;
  std::memcpy(&head, data + offset, sizeof(head));
  if (head.textLength > kNameMax || size - offset - sizeof(head) < head.textLength) return false;
  if (head.textLength > 0 && !head.hasText) return false;
  record.item = Join(head.itemLow, head.itemHigh);
  record.state = head.state;
  record.hasText = head.hasText != 0;
  record.text = data + offset + sizeof(head);
  record.textLength = head.textLength;
  offset += sizeof(head) + head.textLength;
  return true;
}

}  // namespace viewread
