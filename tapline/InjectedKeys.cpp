#include "tapline/InjectedKeys.h"

namespace tapline {

namespace {

constexpr std::uint32_t kStampMask = 0xFFFFFF;  // 24 bits of the tick count, 4.6 hours

std::uint32_t Pack(std::uint8_t virtualKey, std::uint32_t now) {
  return ((now & kStampMask) << 8) | virtualKey;
}

std::uint32_t Age(std::uint32_t slot, std::uint32_t now) { return (now - (slot >> 8)) & kStampMask; }

bool IsLive(std::uint32_t slot, std::uint32_t now) {
  return (slot & 0xFF) != 0 && Age(slot, now) <= kInjectionWindowMs;
}

}  // namespace

void ExpectInjectedKey(SharedBlock& block, std::uint8_t virtualKey, std::uint32_t now) {
  if (virtualKey == 0) return;
  std::uint32_t value = Pack(virtualKey, now);
  for (int round = 0; round < 4; ++round) {
    int oldest = 0;
    std::uint32_t oldestAge = 0;
    for (int i = 0; i < kInjectionSlots; ++i) {
      std::uint32_t slot = block.injections[i].load(std::memory_order_acquire);
      if (!IsLive(slot, now)) {
        if (block.injections[i].compare_exchange_strong(slot, value, std::memory_order_acq_rel)) return;
        continue;
      }
      if (Age(slot, now) >= oldestAge) {
        oldestAge = Age(slot, now);
        oldest = i;
      }
    }
    if (round == 3) {
      block.injections[oldest].store(value, std::memory_order_release);
      return;
    }
  }
}

bool TakeInjectedKey(SharedBlock& block, std::uint8_t virtualKey, std::uint32_t now) {
  if (virtualKey == 0) return false;
  for (int i = 0; i < kInjectionSlots; ++i) {
    std::uint32_t slot = block.injections[i].load(std::memory_order_acquire);
    if (slot == 0) continue;
    if (!IsLive(slot, now)) {
      // Clear it, so that the 24-bit stamp can never come round to look live again.
      block.injections[i].compare_exchange_strong(slot, 0, std::memory_order_acq_rel);
      continue;
    }
    if ((slot & 0xFF) != virtualKey) continue;
    if (block.injections[i].compare_exchange_strong(slot, 0, std::memory_order_acq_rel)) return true;
  }
  return false;
}

}  // namespace tapline
