#include "tapline/ViewReadFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace viewread {
namespace {

constexpr std::uint32_t kHeader = sizeof(RequestHeader);
constexpr std::uint64_t kView = 0x0000123400ABCDEFull;
constexpr std::uint64_t kKey = 0x5EC2E7005EC2E7ull;
constexpr std::uint8_t kGuard = 0xCD;

bool IsCp932LeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// A mapping as Kanasift makes it: the request header, then guard bytes.
std::vector<std::uint8_t> Mapping(std::uint32_t size, std::uint32_t capacity, ReadKind kind = ReadKind::List) {
  std::vector<std::uint8_t> memory(size, kGuard);
  WriteRequest(memory.data(), capacity, 7, 4242, kind, kView, kKey);
  return memory;
}

RequestHeader& Header(std::vector<std::uint8_t>& memory) { return *reinterpret_cast<RequestHeader*>(memory.data()); }

bool Check(std::vector<std::uint8_t>& memory, RequestFacts& facts) {
  return CheckRequest(memory.data(), memory.size(), 7, 4242, kView, kKey, facts);
}

TEST(ViewReadFormatTest, ObjectNamesCarryRequesterAndRequest) {
  char name[kObjectNameBytes];
  ASSERT_TRUE(ObjectName(name, sizeof(name), 4242, 7, false));
  EXPECT_STREQ(name, "Kanasift::Tapline.ViewRead.4242.7");
  ASSERT_TRUE(ObjectName(name, sizeof(name), 0xFFFFFFFFu, 0xFFFFFFFFu, true));
  EXPECT_STREQ(name, "Kanasift::Tapline.ViewRead.4294967295.4294967295.done");
  char small[20];
  EXPECT_FALSE(ObjectName(small, sizeof(small), 1, 2, false));
  EXPECT_STREQ(small, "") << "a name that does not fit is not handed out cut";
  EXPECT_FALSE(ObjectName(nullptr, 0, 1, 2, false));
}

TEST(ViewReadFormatTest, AFreshRequestPassesWithItsKindAndCapacity) {
  auto memory = Mapping(4096, 4000, ReadKind::Tree);
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  EXPECT_EQ(facts.kind, ReadKind::Tree);
  EXPECT_EQ(facts.capacity, 4000u);
}

TEST(ViewReadFormatTest, EveryFieldOfARequestIsChecked) {
  struct Case {
    const char* name;
    void (*change)(RequestHeader&);
  };
  const Case cases[] = {
      {"magic", [](RequestHeader& h) { h.magic = 0; }},
      {"version", [](RequestHeader& h) { h.version = kFormatVersion + 1; }},
      {"header size", [](RequestHeader& h) { h.headerSize = kHeader - 4; }},
      {"request number", [](RequestHeader& h) { h.requestId = 8; }},
      {"requester", [](RequestHeader& h) { h.requesterProcessId = 4243; }},
      {"view, low word", [](RequestHeader& h) { h.viewLow ^= 1; }},
      {"view, high word", [](RequestHeader& h) { h.viewHigh ^= 1; }},
      {"status", [](RequestHeader& h) { h.status = static_cast<std::uint32_t>(Status::Done); }},
      {"kind 0", [](RequestHeader& h) { h.kind = 0; }},
      {"kind 7", [](RequestHeader& h) { h.kind = 7; }},
      {"key, low word", [](RequestHeader& h) { h.keyLow ^= 1; }},
      {"key, high word", [](RequestHeader& h) { h.keyHigh ^= 0x100; }},
      {"records before an answer", [](RequestHeader& h) { h.publishedRecords = 1, h.publishedBytes = 16; }},
      {"capacity below the header", [](RequestHeader& h) { h.capacity = kHeader - 1; }},
      {"capacity beyond the mapping", [](RequestHeader& h) { h.capacity = 4097; }},
  };
  for (const auto& c : cases) {
    auto memory = Mapping(4096, 4096);
    c.change(Header(memory));
    RequestFacts facts;
    EXPECT_FALSE(Check(memory, facts)) << c.name;
  }
  auto memory = Mapping(4096, 4096);
  RequestFacts facts;
  EXPECT_FALSE(CheckRequest(memory.data(), kHeader - 1, 7, 4242, kView, kKey, facts)) << "a mapping smaller than a header";
  EXPECT_FALSE(CheckRequest(nullptr, 4096, 7, 4242, kView, kKey, facts));
  std::vector<std::uint8_t> huge(kHeader);
  WriteRequest(huge.data(), kMaxCapacity + 1, 7, 4242, ReadKind::List, kView, kKey);
  EXPECT_FALSE(CheckRequest(huge.data(), static_cast<std::size_t>(kMaxCapacity) + 2, 7, 4242, kView, kKey, facts))
      << "no answer larger than the largest one";
  std::vector<std::uint8_t> keyless(4096, kGuard);
  WriteRequest(keyless.data(), 4096, 7, 4242, ReadKind::List, kView, 0);
  EXPECT_FALSE(CheckRequest(keyless.data(), keyless.size(), 7, 4242, kView, 0, facts))
      << "while no key is published nobody is served";
}

struct Item {
  std::uint64_t item;
  std::uint32_t state;
  bool hasText;
  std::string text;
};

std::vector<Item> ReadBack(const std::vector<std::uint8_t>& memory, std::uint32_t capacity, AnswerSummary& summary) {
  RequestHeader header = CopyHeader(memory.data());
  std::vector<Item> items;
  if (!ReadAnswer(header, capacity, summary)) return items;
  std::size_t offset = 0;
  Record record;
  for (std::uint32_t i = 0; i < summary.publishedRecords; ++i) {
    if (!NextRecord(memory.data() + kHeader, summary.publishedBytes, offset, record)) break;
    items.push_back({record.item, record.state, record.hasText,
                     std::string(reinterpret_cast<const char*>(record.text), record.textLength)});
  }
  return items;
}

TEST(ViewReadFormatTest, AnAnswerReadsBackAsItWasWritten) {
  auto memory = Mapping(4096, 4096, ReadKind::Tree);
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  AnswerWriter writer(memory.data(), facts);
  writer.Begin(0, 0, kNoItem, 0x10, 0x30, 0xFFFFFFFF00000040ull);
  const std::string kanji = "\x89\xEF\x8E\xD0.txt";  // 会社.txt in code page 932
  writer.Add(0xFFFFFFFF00000010ull, 0, true, kanji.c_str(), static_cast<std::uint32_t>(kanji.size()));
  writer.Add(0x20, 0, false, "ignored", 7);
  writer.Add(0x30, 0, true, "", 0);
  writer.Finish(3);

  AnswerSummary summary;
  auto items = ReadBack(memory, facts.capacity, summary);
  EXPECT_EQ(summary.status, Status::Done);
  EXPECT_EQ(summary.itemCount, 3u) << "a tree's visible items are counted at the end";
  EXPECT_EQ(summary.publishedRecords, 3u);
  EXPECT_EQ(summary.root, 0x10u);
  EXPECT_EQ(summary.caret, 0x30u);
  EXPECT_EQ(summary.lastVisible, 0xFFFFFFFF00000040ull);
  EXPECT_EQ(summary.needed, kHeader + 3 * sizeof(RecordHead) + kanji.size());
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].item, 0xFFFFFFFF00000010ull) << "handles keep their high word";
  EXPECT_EQ(items[0].text, kanji);
  EXPECT_TRUE(items[0].hasText);
  EXPECT_FALSE(items[1].hasText) << "an item the view did not answer for";
  EXPECT_EQ(items[1].text, "");
  EXPECT_TRUE(items[2].hasText);
  EXPECT_EQ(items[2].text, "");
}

TEST(ViewReadFormatTest, ListStatesAndCountsTravel) {
  auto memory = Mapping(4096, 4096);
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  AnswerWriter writer(memory.data(), facts);
  writer.Begin(2, 1, 0, 0, 0, 0);
  writer.Add(0, 0x2003, true, "a", 1);
  writer.Add(1, 0x1000, true, "b", 1);
  writer.Finish(2);
  AnswerSummary summary;
  auto items = ReadBack(memory, facts.capacity, summary);
  EXPECT_EQ(summary.selectedCount, 1u);
  EXPECT_EQ(summary.firstSelected, 0u);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].state, 0x2003u);
  EXPECT_EQ(items[1].state, 0x1000u);
}

TEST(ViewReadFormatTest, TheWriterStopsAtTheCapacityAndTellsWhatItNeeds) {
  const std::uint32_t capacity = kHeader + 60;
  auto memory = Mapping(4096, capacity);
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  AnswerWriter writer(memory.data(), facts);
  writer.Begin(4, 0, kNoItem, 0, 0, 0);
  std::uint64_t expected = kHeader;
  const std::string names[] = {"first.txt", std::string(300, 'x'), "c", "d"};
  for (std::uint32_t i = 0; i < 4; ++i) {
    const std::uint32_t length = static_cast<std::uint32_t>(names[i].size());
    writer.Add(i, 0, true, names[i].c_str(), length);
    expected += sizeof(RecordHead) + (length > kNameMax ? kNameMax : length);
  }
  EXPECT_TRUE(writer.Overflowed());
  writer.Finish(4);
  AnswerSummary summary;
  ASSERT_TRUE(ReadAnswer(CopyHeader(memory.data()), capacity, summary));
  EXPECT_EQ(summary.status, Status::TooSmall);
  EXPECT_EQ(summary.publishedRecords, 1u) << "the records that fitted stay published";
  EXPECT_EQ(summary.needed, expected) << "a long name counts with 259 bytes";
  for (std::size_t i = capacity; i < memory.size(); ++i) ASSERT_EQ(memory[i], kGuard) << "written at " << i;
  // "c" and "d" would fit behind the first record, but the records stay contiguous.
  EXPECT_EQ(memory[kHeader + sizeof(RecordHead) + 9], kGuard);
}

// The summary comes first; records become visible in groups; Kanasift is woken only when
// it asked to be, and the answer ends early when it asks to stop.
TEST(ViewReadFormatTest, RecordsArePublishedInGroupsAndWakeOnlyAWaiter) {
  auto memory = Mapping(1 << 16, 1 << 16);
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  int wakes = 0;
  AnswerWriter writer(memory.data(), facts, [](void* count) { ++*static_cast<int*>(count); }, &wakes);
  AnswerSummary summary;
  EXPECT_FALSE(ReadAnswer(CopyHeader(memory.data()), facts.capacity, summary)) << "nothing before the summary";

  writer.Begin(500, 2, 3, 0, 0, 0);
  EXPECT_EQ(wakes, 1) << "the summary always wakes Kanasift";
  ASSERT_TRUE(ReadAnswer(CopyHeader(memory.data()), facts.capacity, summary));
  EXPECT_EQ(summary.status, Status::Streaming);
  EXPECT_EQ(summary.itemCount, 500u);
  EXPECT_EQ(summary.firstSelected, 3u);
  EXPECT_EQ(summary.publishedRecords, 0u);

  for (std::uint32_t i = 0; i < AnswerWriter::kPublishEvery - 1; ++i) writer.Add(i, 0, true, "x", 1);
  EXPECT_EQ(CopyHeader(memory.data()).publishedRecords, 0u);
  writer.Add(AnswerWriter::kPublishEvery - 1, 0, true, "x", 1);
  EXPECT_EQ(CopyHeader(memory.data()).publishedRecords, AnswerWriter::kPublishEvery);
  EXPECT_EQ(wakes, 1) << "nobody waited";

  const std::uint32_t streaming = static_cast<std::uint32_t>(Status::Streaming);
  EXPECT_TRUE(AskToBeWoken(memory.data(), AnswerWriter::kPublishEvery, streaming)) << "there already: no wait";
  EXPECT_FALSE(AskToBeWoken(memory.data(), 3 * AnswerWriter::kPublishEvery, streaming));
  for (std::uint32_t i = 0; i < AnswerWriter::kPublishEvery; ++i) writer.Add(100 + i, 0, true, "y", 1);
  EXPECT_EQ(wakes, 1) << "not yet as many as the waiter wants";
  for (std::uint32_t i = 0; i < AnswerWriter::kPublishEvery; ++i) writer.Add(200 + i, 0, true, "y", 1);
  EXPECT_EQ(wakes, 2) << "the waiter is woken once its records are out";
  for (std::uint32_t i = 0; i < AnswerWriter::kPublishEvery; ++i) writer.Add(300 + i, 0, true, "y", 1);
  EXPECT_EQ(wakes, 2) << "and only once";
  EXPECT_FALSE(AskToBeWoken(memory.data(), 0xFFFFFFFFu, streaming)) << "waiting for the end";

  for (std::uint32_t i = 0; i < 5; ++i) writer.Add(400 + i, 0, true, "z", 1);
  AskToStop(memory.data());
  EXPECT_TRUE(writer.Stopped()) << "looked at before every item";
  EXPECT_EQ(wakes, 2);
  const std::uint32_t published = CopyHeader(memory.data()).publishedRecords;
  writer.Add(999, 0, true, "after", 5);
  writer.Finish(500);
  ASSERT_TRUE(ReadAnswer(CopyHeader(memory.data()), facts.capacity, summary));
  EXPECT_EQ(summary.status, Status::Stopped);
  EXPECT_EQ(summary.publishedRecords, published) << "nothing is added after a stop";
}

// An answer that no longer fits goes on counting what it would need; Kanasift may have
// given up on it meanwhile, and then the view's thread must not read on for nobody.
TEST(ViewReadFormatTest, AStopIsSeenAlsoOnceTheAnswerNoLongerFits) {
  auto memory = Mapping(kHeader + 40, kHeader + 40);
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  AnswerWriter writer(memory.data(), facts);
  writer.Begin(100000, 0, kNoItem, 0, 0, 0);
  writer.Add(0, 0, true, "first name", 10);
  writer.Add(1, 0, true, "second name", 11);
  ASSERT_TRUE(writer.Overflowed());
  EXPECT_FALSE(writer.Stopped());
  AskToStop(memory.data());
  EXPECT_TRUE(writer.Stopped());
  writer.Finish(100000);
  AnswerSummary summary;
  ASSERT_TRUE(ReadAnswer(CopyHeader(memory.data()), facts.capacity, summary));
  EXPECT_EQ(summary.status, Status::Stopped);
}

TEST(ViewReadFormatTest, NamesAreCutAsAViewHandsThemOver) {
  EXPECT_EQ(NameLength("abc\0def", IsCp932LeadByte), 3u);
  std::string full(300, 'a');
  EXPECT_EQ(NameLength(full.c_str(), IsCp932LeadByte), kNameMax) << "no NUL in the buffer: 259 bytes";
  // A double-byte character cut in half at the end loses its lead byte.
  std::string cut = std::string(258, 'a') + "\x89";
  cut.push_back('\0');
  EXPECT_EQ(NameLength(cut.c_str(), IsCp932LeadByte), 258u);
  std::string whole = std::string(257, 'a') + "\x89\xEF";
  EXPECT_EQ(NameLength(whole.c_str(), IsCp932LeadByte), 259u);
  // A trail byte that looks like a lead byte (0x81 0x81) belongs to its character.
  EXPECT_EQ(NameLength("\x81\x81\x81", 4, IsCp932LeadByte), 2u);
  EXPECT_EQ(NameLength("abcdef", 4, IsCp932LeadByte), 3u) << "readable memory ends early";
  EXPECT_EQ(NameLength(nullptr, IsCp932LeadByte), 0u);
}

TEST(ViewReadFormatTest, AnswersThatLieAreRejected) {
  RequestHeader header = {};
  AnswerSummary summary;
  header.status = static_cast<std::uint32_t>(Status::Pending);
  EXPECT_FALSE(ReadAnswer(header, 4096, summary)) << "no answer yet";
  header.status = 7;
  EXPECT_FALSE(ReadAnswer(header, 4096, summary));
  header.status = static_cast<std::uint32_t>(Status::Done);
  header.publishedBytes = 4096 - kHeader + 1;
  EXPECT_FALSE(ReadAnswer(header, 4096, summary)) << "data beyond the mapping";
  header.publishedBytes = 160;
  header.publishedRecords = 11;
  EXPECT_FALSE(ReadAnswer(header, 4096, summary)) << "more records than could fit";
  header.publishedRecords = 10;
  header.itemCount = 10;
  header.firstSelected = kNoItem;
  EXPECT_TRUE(ReadAnswer(header, 4096, summary));
  header.selectedCount = 11;
  EXPECT_FALSE(ReadAnswer(header, 4096, summary)) << "more selected items than items";
  header.selectedCount = 1;
  header.firstSelected = 10;
  EXPECT_FALSE(ReadAnswer(header, 4096, summary)) << "a first selected item beyond the items";
  header.firstSelected = 9;
  EXPECT_TRUE(ReadAnswer(header, 4096, summary));
  header.status = static_cast<std::uint32_t>(Status::TooSmall);
  header.needed = 1 << 30;
  ASSERT_TRUE(ReadAnswer(header, 4096, summary));
  EXPECT_EQ(summary.needed, 1u << 30);
  header.status = static_cast<std::uint32_t>(Status::Streaming);
  header.itemCount = 0x7FFFFFFF;
  EXPECT_FALSE(ReadAnswer(header, 4096, summary)) << "more items than any answer holds";
  header.itemCount = kMaxItems;
  EXPECT_TRUE(ReadAnswer(header, 4096, summary));
}

// The argument of a TreeSelect request survives the trip and is checked on the way in.
TEST(ViewReadFormatTest, ATreeSelectionCarriesItsItemAndName) {
  auto memory = Mapping(kTreeSelectBytes, kTreeSelectBytes, ReadKind::TreeSelect);
  ASSERT_TRUE(WriteTreeSelect(memory.data(), kTreeSelectBytes, 0x0000123456789ABCull, true, "\x89\xEF\x8E\xD0", 4));
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  TreeSelectArgs args;
  ASSERT_TRUE(ReadTreeSelect(memory.data(), facts, args));
  EXPECT_EQ(args.itemLow, 0x56789ABCu);
  EXPECT_EQ(args.itemHigh, 0x1234u);
  EXPECT_EQ(std::string(args.text, args.textLength), "\x89\xEF\x8E\xD0");
  EXPECT_FALSE(WriteTreeSelect(memory.data(), kTreeSelectBytes - 1, 1, true, "a", 1)) << "does not fit";
  reinterpret_cast<TreeSelectArgs*>(memory.data() + kHeader)->textLength = kNameMax + 1;
  EXPECT_FALSE(ReadTreeSelect(memory.data(), facts, args)) << "a name longer than a view holds";
  facts.capacity = kTreeSelectBytes - 1;
  EXPECT_FALSE(ReadTreeSelect(memory.data(), facts, args));
}

TEST(ViewReadFormatTest, RecordsThatDoNotFitAreRejected) {
  std::vector<std::uint8_t> data(64, 0);
  RecordHead head = {};
  head.textLength = 10;
  head.hasText = 1;
  std::memcpy(data.data(), &head, sizeof(head));
  std::size_t offset = 0;
  Record record;
  EXPECT_FALSE(NextRecord(data.data(), sizeof(head) + 9, offset, record)) << "text beyond the data";
  EXPECT_TRUE(NextRecord(data.data(), sizeof(head) + 10, offset, record));
  EXPECT_EQ(offset, sizeof(head) + 10);
  EXPECT_FALSE(NextRecord(data.data(), sizeof(head) + 10, offset, record)) << "the end";
  offset = 0;
  EXPECT_FALSE(NextRecord(data.data(), sizeof(head) - 1, offset, record)) << "half a head";
  head.textLength = kNameMax + 1;
  std::vector<std::uint8_t> large(sizeof(head) + kNameMax + 1, 'a');
  std::memcpy(large.data(), &head, sizeof(head));
  offset = 0;
  EXPECT_FALSE(NextRecord(large.data(), large.size(), offset, record)) << "a name longer than a view holds";
  head.textLength = 3;
  head.hasText = 0;
  std::memcpy(data.data(), &head, sizeof(head));
  offset = 0;
  EXPECT_FALSE(NextRecord(data.data(), data.size(), offset, record)) << "text of an item that was not read";
}

// Whatever bytes an answer holds, reading stays inside them (the sanitizers watch).
TEST(ViewReadFormatTest, GarbageRecordsAreReadWithinTheirBounds) {
  std::mt19937 random(99);
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::uint8_t> data(random() % 400);
    for (auto& b : data) b = static_cast<std::uint8_t>(random() % (round % 2 ? 4 : 256));
    std::size_t offset = 0;
    Record record;
    int records = 0;
    while (NextRecord(data.data(), data.size(), offset, record)) {
      ASSERT_LE(offset, data.size());
      ASSERT_GE(record.text, data.data());
      ASSERT_LE(record.text + record.textLength, data.data() + data.size());
      ++records;
    }
    EXPECT_LE(records, static_cast<int>(data.size() / sizeof(RecordHead)));
  }
}

// A long shell read pauses (Yielded) and goes on where it stopped when Kanasift posts it
// again; the records of both parts read back as one answer, and only a shell read may
// go on from records it published, within the capacity.
TEST(ViewReadFormatTest, AShellReadGoesOnWhereItPaused) {
  auto memory = Mapping(4096, 4096, ReadKind::Shell);
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  {
    AnswerWriter writer(memory.data(), facts);
    writer.SetShellFacts(77, kShellCheckBoxes);
    writer.Begin(3, 1, 2, 0, 0, 0);
    writer.Add(0, 0, true, "a.txt", 5);
    writer.Add(1, 0, false, nullptr, 0);
    writer.PauseHere();
  }
  AnswerSummary summary;
  auto items = ReadBack(memory, 4096, summary);
  EXPECT_EQ(summary.status, Status::Yielded);
  EXPECT_EQ(summary.generation, 77u);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(Check(memory, facts)) << "a paused answer is not a request until Kanasift asks again";
  ASSERT_TRUE(AskToGoOn(memory.data()));
  EXPECT_FALSE(AskToGoOn(memory.data())) << "only a paused answer goes on";
  ASSERT_TRUE(Check(memory, facts));
  EXPECT_EQ(facts.resumeRecords, 2u);
  EXPECT_EQ(facts.generation, 77u);
  {
    AnswerWriter writer(memory.data(), facts);
    writer.Resume(3, 1, 2);
    writer.Add(2, 2, true, "b.txt", 5);
    writer.Finish(3);
  }
  items = ReadBack(memory, 4096, summary);
  EXPECT_EQ(summary.status, Status::Done);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "a.txt");
  EXPECT_FALSE(items[1].hasText);
  EXPECT_EQ(items[2].text, "b.txt");
  EXPECT_EQ(items[2].state, 2u);
  EXPECT_EQ(summary.needed, kHeader + 3 * sizeof(RecordHead) + 10);

  auto lying = Mapping(4096, 4096, ReadKind::Shell);
  Header(lying).publishedRecords = 300;
  Header(lying).publishedBytes = 300 * sizeof(RecordHead);
  EXPECT_FALSE(Check(lying, facts)) << "records beyond the capacity";
  Header(lying).publishedRecords = 3;
  Header(lying).publishedBytes = 2 * sizeof(RecordHead);
  EXPECT_FALSE(Check(lying, facts)) << "more records than their bytes can hold";
}

TEST(ViewReadFormatTest, ChangeArgumentsAreBoundedByTheCapacity) {
  const std::vector<ChangeOperation> operations = {{4, kSelectSelect | kSelectDeselectOthers},
                                                   {9, kSelectSelect | kSelectFocused | 0x100}};
  const std::uint32_t capacity = ChangeBytes(2);
  auto memory = Mapping(capacity + 64, capacity, ReadKind::ShellChange);
  ASSERT_TRUE(WriteChange(memory.data(), capacity, 5, kFolderCheckSelect, kFolderCheckSelect, operations.data(), 2));
  EXPECT_FALSE(WriteChange(memory.data(), capacity - 1, 5, 0, 0, operations.data(), 2)) << "does not fit";
  RequestFacts facts;
  ASSERT_TRUE(Check(memory, facts));
  EXPECT_EQ(facts.generation, 5u);
  ChangeHead head;
  ASSERT_TRUE(ReadChange(memory.data(), facts, head));
  EXPECT_EQ(head.count, 2u);
  EXPECT_EQ(head.folderFlags, kFolderCheckSelect);
  EXPECT_EQ(OperationAt(memory.data(), 0).position, 4u);
  EXPECT_EQ(OperationAt(memory.data(), 1).flags, kSelectSelect | kSelectFocused) << "unknown bits cleared";

  auto words = reinterpret_cast<std::uint32_t*>(memory.data() + kHeader);
  words[0] = 3;  // one operation more than the capacity holds
  EXPECT_FALSE(ReadChange(memory.data(), facts, head));
  words[0] = 2;
  words[1] = 0x1;  // a folder flag no request may change
  EXPECT_FALSE(ReadChange(memory.data(), facts, head));
  words[0] = 0xFFFFFFFFu;
  words[1] = 0;
  EXPECT_FALSE(ReadChange(memory.data(), facts, head));

  // A list view's change has the same arguments, and no folder flags.
  auto list = Mapping(capacity + 64, capacity, ReadKind::ListChange);
  ASSERT_TRUE(WriteChange(list.data(), capacity, 10000, 0, 0, operations.data(), 2));
  RequestFacts listFacts;
  ASSERT_TRUE(Check(list, listFacts));
  ASSERT_TRUE(ReadChange(list.data(), listFacts, head));
  EXPECT_EQ(listFacts.generation, 10000u) << "the item count the indices belong to";
  ASSERT_TRUE(WriteChange(list.data(), capacity, 10000, kFolderCheckSelect, kFolderCheckSelect, operations.data(), 2));
  EXPECT_FALSE(ReadChange(list.data(), listFacts, head)) << "folder flags belong to shell views";

  {
    AnswerWriter writer(memory.data(), facts);
    writer.FinishChange(true, -3, 10, 50, 28);
  }
  AnswerSummary summary;
  ReadBack(memory, capacity, summary);
  EXPECT_EQ(summary.status, Status::Done);
  EXPECT_TRUE(summary.haveRect);
  EXPECT_EQ(summary.rectLeft, -3);
  EXPECT_EQ(summary.rectBottom, 28);
}

}  // namespace
}  // namespace viewread
