#include "tapline/ServeShare.h"

namespace viewread {

namespace {

// Credit grows back at half the speed of the clock: 500 µs per millisecond.
constexpr std::int64_t kRefillUsPerMs = 500;

}  // namespace

bool ServeShare::MayServe(std::uint32_t nowMs) {
  if (started_.exchange(1, std::memory_order_acq_rel) == 0) lastMs_.store(nowMs, std::memory_order_release);
  std::uint32_t last = lastMs_.load(std::memory_order_acquire);
  const std::uint32_t passed = nowMs - last;
  // One thread claims the time that passed; the others see it claimed.
  if (passed > 0 && lastMs_.compare_exchange_strong(last, nowMs, std::memory_order_acq_rel)) {
    const std::int64_t refill = static_cast<std::int64_t>(passed) * kRefillUsPerMs;
    std::int32_t credit = creditUs_.load(std::memory_order_relaxed);
    for (;;) {
      const std::int64_t grown = credit + refill;
      const auto next = static_cast<std::int32_t>(grown > kBurstUs ? kBurstUs : grown);
      if (creditUs_.compare_exchange_weak(credit, next, std::memory_order_acq_rel)) break;
    }
  }
  return creditUs_.load(std::memory_order_acquire) > 0;
}

void ServeShare::Charge(std::uint32_t elapsedUs) {
  const std::uint32_t capped = elapsedUs > static_cast<std::uint32_t>(kBurstUs) ? kBurstUs : elapsedUs;
  const auto charge = static_cast<std::int32_t>(capped < kMinimumChargeUs ? kMinimumChargeUs : capped);
  std::int32_t credit = creditUs_.load(std::memory_order_relaxed);
  // Never below one burst in debt, so that the credit always comes back.
  while (!creditUs_.compare_exchange_weak(credit, credit - charge < -kBurstUs ? -kBurstUs : credit - charge,
                                          std::memory_order_acq_rel)) {
  }
}

}  // namespace viewread
