#include "tapline/ServedProcesses.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace tapline {
namespace {

std::unique_ptr<ServedBlock> FreshBlock() {
  auto block = std::make_unique<ServedBlock>();
  std::memset(static_cast<void*>(block.get()), 0, sizeof(ServedBlock));
  InitServedBlock(*block);
  return block;
}

TEST(ServedProcessesTest, OnlyAFinishedBlockOfThisLayoutIsUsed) {
  auto block = std::make_unique<ServedBlock>();
  std::memset(static_cast<void*>(block.get()), 0, sizeof(ServedBlock));
  EXPECT_FALSE(IsUsableServedBlock(block.get(), sizeof(ServedBlock)));
  InitServedBlock(*block);
  EXPECT_TRUE(IsUsableServedBlock(block.get(), sizeof(ServedBlock)));
  EXPECT_FALSE(IsUsableServedBlock(block.get(), sizeof(ServedBlock) - 1));
  block->version = kServedVersion + 1;
  EXPECT_FALSE(IsUsableServedBlock(block.get(), sizeof(ServedBlock)));
  EXPECT_NE(std::string(ServedBlockName()).find(".v1."), std::string::npos);
}

TEST(ServedProcessesTest, AProcessCountsOnlyWithItsCreationTime) {
  auto block = FreshBlock();
  int slot = AddServedProcess(*block, 100, 0x1122334455667788ull);
  ASSERT_GE(slot, 0);
  EXPECT_TRUE(IsServedProcess(*block, 100, 0x1122334455667788ull));
  EXPECT_FALSE(IsServedProcess(*block, 100, 0x1122334455667789ull)) << "the id went to another process";
  EXPECT_FALSE(IsServedProcess(*block, 101, 0x1122334455667788ull));
  EXPECT_EQ(AddServedProcess(*block, 0, 1), -1) << "no process has id 0";
  EXPECT_FALSE(IsServedProcess(*block, 0, 0));
}

TEST(ServedProcessesTest, RemovingTakesOutOnlyThatProcess) {
  auto block = FreshBlock();
  int first = AddServedProcess(*block, 100, 1);
  int second = AddServedProcess(*block, 200, 2);
  RemoveServedProcess(*block, first, 200);  // the slot holds another process
  EXPECT_TRUE(IsServedProcess(*block, 100, 1));
  RemoveServedProcess(*block, first, 100);
  EXPECT_FALSE(IsServedProcess(*block, 100, 1));
  EXPECT_TRUE(IsServedProcess(*block, 200, 2));
  RemoveServedProcess(*block, -1, 200);
  RemoveServedProcess(*block, kServedSlots, 200);
  EXPECT_TRUE(IsServedProcess(*block, 200, 2));
  RemoveServedProcess(*block, second, 200);
  EXPECT_FALSE(IsServedProcess(*block, 200, 2));
}

TEST(ServedProcessesTest, AFullListTakesNoMoreUntilASlotIsFree) {
  auto block = FreshBlock();
  std::vector<int> slots;
  for (int i = 0; i < kServedSlots; ++i) slots.push_back(AddServedProcess(*block, 1000 + i, i));
  EXPECT_EQ(std::set<int>(slots.begin(), slots.end()).size(), static_cast<std::size_t>(kServedSlots));
  EXPECT_EQ(AddServedProcess(*block, 5, 5), -1);
  EXPECT_FALSE(IsServedProcess(*block, 5, 5));
  RemoveServedProcess(*block, slots[7], 1007);
  EXPECT_EQ(AddServedProcess(*block, 5, 5), slots[7]);
  EXPECT_TRUE(IsServedProcess(*block, 5, 5));
}

// Processes that ended without unloading the library fill the list over a long run: a
// new process then reclaims their slots instead of going unserved.
TEST(ServedProcessesTest, AFullListMakesRoomByDroppingEndedProcesses) {
  auto block = FreshBlock();
  for (int i = 0; i < kServedSlots; ++i) ASSERT_GE(AddServedProcess(*block, 1000 + i, i), 0);
  auto allRun = [](std::uint32_t, std::uint64_t, void*) { return true; };
  EXPECT_EQ(AddServedProcess(*block, 5, 5, allRun, nullptr), -1) << "nobody to drop";
  auto evenEnded = [](std::uint32_t processId, std::uint64_t, void*) { return processId % 2 != 0; };
  EXPECT_GE(AddServedProcess(*block, 5, 5, evenEnded, nullptr), 0);
  EXPECT_TRUE(IsServedProcess(*block, 5, 5));
  EXPECT_FALSE(IsServedProcess(*block, 1000, 0));
  EXPECT_TRUE(IsServedProcess(*block, 1001, 1));
  int entered = 1;
  for (std::uint32_t id = 6; AddServedProcess(*block, id, id, allRun, nullptr) >= 0; ++id) ++entered;
  EXPECT_EQ(entered, kServedSlots / 2) << "every ended process's slot, and no other, was freed";
}

TEST(ServedProcessesTest, EndedProcessesAreCleared) {
  auto block = FreshBlock();
  AddServedProcess(*block, 100, 1);
  AddServedProcess(*block, 101, 1);
  AddServedProcess(*block, 102, 1);
  std::vector<std::uint32_t> asked;
  struct Context {
    std::vector<std::uint32_t>* asked;
  } context{&asked};
  int cleared = ClearEndedProcesses(
      *block,
      [](std::uint32_t processId, std::uint64_t, void* raw) {
        static_cast<Context*>(raw)->asked->push_back(processId);
        return processId != 101;
      },
      &context);
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(asked.size(), 3u);
  EXPECT_TRUE(IsServedProcess(*block, 100, 1));
  EXPECT_FALSE(IsServedProcess(*block, 101, 1));
  EXPECT_TRUE(IsServedProcess(*block, 102, 1));
}

// Processes come and go while one stays: a reader never loses the one that stays and
// never sees one that has gone.
TEST(ServedProcessesTest, ConcurrentComingsAndGoingsKeepEveryEntryWhole) {
  auto block = FreshBlock();
  ASSERT_GE(AddServedProcess(*block, 7, 77), 0);
  std::atomic<bool> stop{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&, w] {
      const std::uint32_t id = 100 + w;
      while (!stop.load()) {
        int slot = AddServedProcess(*block, id, id * 10);
        if (slot >= 0) RemoveServedProcess(*block, slot, id);
      }
    });
  }
  for (int i = 0; i < 20000; ++i) {
    ASSERT_TRUE(IsServedProcess(*block, 7, 77));
    ASSERT_FALSE(IsServedProcess(*block, 100, 1010)) << "half of one entry and half of another";
  }
  stop = true;
  for (auto& t : workers) t.join();
  for (int w = 0; w < 3; ++w) EXPECT_FALSE(IsServedProcess(*block, 100 + w, (100 + w) * 10));
}

}  // namespace
}  // namespace tapline
