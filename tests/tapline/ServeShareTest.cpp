#include "tapline/ServeShare.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace viewread {
namespace {

// Requests arriving back to back: each takes `costUs`, the next one follows `gapUs`
// later. Returns the microseconds of thread time spent answering within `seconds`.
std::uint64_t Demand(ServeShare& share, std::uint32_t costUs, std::uint32_t gapUs, std::uint32_t seconds,
                     int* refused = nullptr, std::uint32_t startMs = 0x7FFFF000u) {
  std::uint64_t nowUs = 0;
  std::uint64_t served = 0;
  while (nowUs < static_cast<std::uint64_t>(seconds) * 1000000) {
    const std::uint32_t nowMs = startMs + static_cast<std::uint32_t>(nowUs / 1000);
    if (share.MayServe(nowMs)) {
      share.Charge(costUs);
      served += costUs;
      nowUs += costUs;
      nowUs += gapUs;
    } else {
      if (refused) ++*refused;
      nowUs += gapUs > 1000 ? gapUs : 1000;  // the refusal reaches the requester, which asks again
    }
  }
  return served;
}

TEST(ServeShareTest, AFloodGetsAtMostHalfTheThreadAfterTheBurst) {
  ServeShare share;
  const std::uint64_t served = Demand(share, 8000, 10, 60);
  const std::uint64_t bound = ServeShare::kBurstUs + 30000000ull + 8000;
  EXPECT_LE(served, bound);
  EXPECT_GE(served, bound - 200000) << "and what it may have, it gets";
}

TEST(ServeShareTest, CheapRequestsAreChargedTheirMinimum) {
  ServeShare share;
  int refused = 0;
  Demand(share, 10, 10, 10, &refused);
  EXPECT_GT(refused, 0);
  // 10 s of requests of 10 µs: no more than burst + refill of 250 µs pieces.
  ServeShare fresh;
  std::uint64_t served = Demand(fresh, 10, 10, 10);
  const std::uint64_t requests = served / 10;
  EXPECT_LE(requests, (ServeShare::kBurstUs + 5000000ull) / ServeShare::kMinimumChargeUs + 1);
}

TEST(ServeShareTest, TypingAndALongFirstReadAreNeverRefused) {
  ServeShare share;
  int refused = 0;
  Demand(share, 15000, 85000, 120, &refused);  // a keystroke's read of 15 ms every 100 ms
  EXPECT_EQ(refused, 0);
  // The first read of a large folder through the shell: 12 ms pieces, each posted again
  // at once, for 4 s; then typing goes on.
  Demand(share, 12000, 1000, 4, &refused);
  Demand(share, 15000, 85000, 20, &refused);
  EXPECT_EQ(refused, 0);
}

TEST(ServeShareTest, TheCreditComesBackAcrossTheTickWrap) {
  ServeShare share;
  int refused = 0;
  Demand(share, 8000, 0, 20, &refused, 0xFFFF0000u);
  EXPECT_GT(refused, 0) << "used up";
  refused = 0;
  Demand(share, 15000, 85000, 30, &refused, 0x00010000u);
  EXPECT_EQ(refused, 0) << "and back after a pause";
}

}  // namespace
}  // namespace viewread
