#include "tapline/SharedLayout.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "tapline/ClassList.h"

namespace tapline {
namespace {

std::unique_ptr<SharedBlock> FreshBlock() {
  auto block = std::make_unique<SharedBlock>();
  std::memset(static_cast<void*>(block.get()), 0, sizeof(SharedBlock));
  return block;
}

TEST(SharedLayoutTest, OnlyAFinishedBlockOfThisLayoutIsUsed) {
  auto block = FreshBlock();
  EXPECT_FALSE(IsUsableBlock(block.get(), sizeof(SharedBlock))) << "a creator that has not finished";
  InitSharedBlock(*block);
  EXPECT_TRUE(IsUsableBlock(block.get(), sizeof(SharedBlock)));
  EXPECT_FALSE(IsUsableBlock(block.get(), sizeof(SharedBlock) - 1)) << "mapping smaller than the layout";
  EXPECT_FALSE(IsUsableBlock(nullptr, sizeof(SharedBlock)));
}

TEST(SharedLayoutTest, ABlockOfAnotherVersionSizeOrBitnessIsIgnored) {
  auto block = FreshBlock();
  InitSharedBlock(*block);
  block->version = kLayoutVersion + 1;
  EXPECT_FALSE(IsUsableBlock(block.get(), sizeof(SharedBlock)));
  block->version = kLayoutVersion;
  block->size = sizeof(SharedBlock) + 8;
  EXPECT_FALSE(IsUsableBlock(block.get(), sizeof(SharedBlock) + 8));
  block->size = sizeof(SharedBlock);
  block->pointerBits = kPointerBits == 64 ? 32 : 64;
  EXPECT_FALSE(IsUsableBlock(block.get(), sizeof(SharedBlock)));
  block->pointerBits = kPointerBits;
  block->magic.store(0x12345678);
  EXPECT_FALSE(IsUsableBlock(block.get(), sizeof(SharedBlock)));
}

TEST(SharedLayoutTest, TheMappingNameCarriesVersionAndBitness) {
  std::string name = SharedBlockName();
  EXPECT_NE(name.find(".v3."), std::string::npos);
  EXPECT_NE(name.find(kPointerBits == 64 ? "x64" : "x86"), std::string::npos);
}

TEST(SharedLayoutTest, AFreshBlockHoldsTheDefaults) {
  auto block = FreshBlock();
  InitSharedBlock(*block);
  Config config;
  ASSERT_TRUE(ReadConfig(*block, config));
  EXPECT_EQ(config.isUse, 1);
  EXPECT_EQ(config.isEnable, 1);
  EXPECT_EQ(config.isForceEnable, 0);
  EXPECT_EQ(config.ownerWindow, 0u) << "no hook owner: hooks let everything through";
  EXPECT_TRUE(classlist::Contains("SysListView32", config.listClasses));
  EXPECT_TRUE(classlist::Contains("SysTreeView32", config.treeClasses));
  EXPECT_FALSE(classlist::Contains("SysTreeView32", config.listClasses));
  EXPECT_EQ(config.conditionCount, 4u);
  EXPECT_TRUE(classlist::Contains("DirectUIHWND", config.shellClasses));
  EXPECT_EQ(config.shortcuts[kNextCandidate].key, 'N');
  EXPECT_EQ(config.shortcuts[kNextCandidate].ctrl, 1);
  EXPECT_EQ(config.shortcuts[kSortByCheckState].key, kUnassignedKey);
  EXPECT_EQ(config.nisHeader[0], 0);
}

TEST(SharedLayoutTest, WrittenConfigurationIsReadBack) {
  auto block = FreshBlock();
  InitSharedBlock(*block);
  Config config = DefaultConfig();
  config.isForceEnable = 1;
  config.ownerWindow = 0x1234;
  config.ownerProcessId = 77;
  WriteConfig(*block, config);
  Config read;
  ASSERT_TRUE(ReadConfig(*block, read));
  EXPECT_EQ(std::memcmp(&read, &config, sizeof(Config)), 0);
  EXPECT_EQ(block->configSequence.load() % 2, 0u);
}

TEST(SharedLayoutTest, NoCopyIsTakenWhileAWriterIsInside) {
  auto block = FreshBlock();
  InitSharedBlock(*block);
  block->configSequence.store(5);  // odd: a writer is inside
  Config read;
  EXPECT_FALSE(ReadConfig(*block, read)) << "the hook must then let the key through";
}

TEST(SharedLayoutTest, AWriterThatDiedInsideIsTakenOver) {
  auto block = FreshBlock();
  InitSharedBlock(*block);
  block->configSequence.store(7);
  Config config = DefaultConfig();
  config.isUse = 0;
  WriteConfig(*block, config);
  Config read;
  ASSERT_TRUE(ReadConfig(*block, read));
  EXPECT_EQ(read.isUse, 0);
}

TEST(SharedLayoutTest, TextsEndInsideTheirBuffersWhateverWasWritten) {
  auto block = FreshBlock();
  InitSharedBlock(*block);
  Config garbage;
  std::memset(&garbage, 'x', sizeof(garbage));
  WriteConfig(*block, garbage);
  Config read;
  ASSERT_TRUE(ReadConfig(*block, read));
  EXPECT_LT(std::strlen(read.listClasses), kClassListBytes);
  EXPECT_LT(std::strlen(read.treeClasses), kClassListBytes);
  EXPECT_LT(std::strlen(read.conditions), kConditionBytes);
  EXPECT_EQ(read.nisHeader[kNisHeaderUnits - 1], 0);
}

TEST(SharedLayoutTest, ReadersNeverSeeAHalfWrittenConfiguration) {
  auto block = FreshBlock();
  InitSharedBlock(*block);
  Config first, second;
  std::memset(&first, 0x11, sizeof(first));
  std::memset(&second, 0x22, sizeof(second));
  WriteConfig(*block, first);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) WriteConfig(*block, (i % 2) ? first : second);
    done = true;
  });
  int consistent = 0;
  while (!done.load()) {
    Config read;
    if (!ReadConfig(*block, read)) continue;
    // The reader terminates the texts; compare everything before the listClasses tail.
    std::uint8_t marker = reinterpret_cast<const std::uint8_t*>(&read)[0];
    ASSERT_TRUE(marker == 0x11 || marker == 0x22);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&read);
    for (std::size_t i = 0; i < offsetof(Config, listClasses); ++i) ASSERT_EQ(bytes[i], marker) << i;
    ASSERT_EQ(read.shortcuts[12].key, marker);
    ASSERT_EQ(read.nisHeader[0], marker * 0x101);
    ++consistent;
  }
  writer.join();
  EXPECT_GT(consistent, 0);
}

}  // namespace
}  // namespace tapline
