#include "tapline/InjectedKeys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace tapline {
namespace {

constexpr std::uint8_t kSpace = 0x20;
constexpr std::uint8_t kAdd = 0x6B;

class InjectedKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    block = std::make_unique<SharedBlock>();
    std::memset(static_cast<void*>(block.get()), 0, sizeof(SharedBlock));
    InitSharedBlock(*block);
  }
  std::unique_ptr<SharedBlock> block;
};

TEST_F(InjectedKeysTest, AnAnnouncedKeyPassesOnceAndOnlyForItsVirtualKey) {
  ExpectInjectedKey(*block, kSpace, 1000);
  EXPECT_FALSE(TakeInjectedKey(*block, kAdd, 1001)) << "another key is typed by the user";
  EXPECT_TRUE(TakeInjectedKey(*block, kSpace, 1002));
  EXPECT_FALSE(TakeInjectedKey(*block, kSpace, 1003)) << "the next space is the user's";
}

TEST_F(InjectedKeysTest, AnAnnouncementExpires) {
  ExpectInjectedKey(*block, kSpace, 1000);
  EXPECT_FALSE(TakeInjectedKey(*block, kSpace, 1000 + kInjectionWindowMs + 1));
  ExpectInjectedKey(*block, kSpace, 5000);
  EXPECT_TRUE(TakeInjectedKey(*block, kSpace, 5000 + kInjectionWindowMs));
}

TEST_F(InjectedKeysTest, EachAnnouncementPassesOneKey) {
  ExpectInjectedKey(*block, kSpace, 10);
  ExpectInjectedKey(*block, kSpace, 11);
  ExpectInjectedKey(*block, kAdd, 12);
  EXPECT_TRUE(TakeInjectedKey(*block, kSpace, 20));
  EXPECT_TRUE(TakeInjectedKey(*block, kSpace, 20));
  EXPECT_FALSE(TakeInjectedKey(*block, kSpace, 20));
  EXPECT_TRUE(TakeInjectedKey(*block, kAdd, 20));
}

TEST_F(InjectedKeysTest, WithEverySlotLiveTheOldestAnnouncementGivesWay) {
  for (int i = 0; i < kInjectionSlots; ++i) ExpectInjectedKey(*block, kAdd, 100 + i);
  ExpectInjectedKey(*block, kSpace, 200);
  EXPECT_TRUE(TakeInjectedKey(*block, kSpace, 201));
  int adds = 0;
  while (TakeInjectedKey(*block, kAdd, 201)) ++adds;
  EXPECT_EQ(adds, kInjectionSlots - 1);
}

TEST_F(InjectedKeysTest, TheTickCountMayWrapBetweenAnnouncementAndKey) {
  ExpectInjectedKey(*block, kSpace, 0xFFFFFFF0u);
  EXPECT_TRUE(TakeInjectedKey(*block, kSpace, 0x10u));
}

TEST_F(InjectedKeysTest, NoAnnouncementNoPass) {
  EXPECT_FALSE(TakeInjectedKey(*block, kSpace, 1));
  ExpectInjectedKey(*block, 0, 1);
  EXPECT_FALSE(TakeInjectedKey(*block, 0, 1));
}

}  // namespace
}  // namespace tapline
