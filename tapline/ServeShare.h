// How much of a view's thread the library gives to whole-view reads. Requests come by
// posted message, so a process that keeps posting them (one that learnt the request key,
// or Kanasift gone wild) could otherwise keep Explorer's thread reading for nobody.
//
// A credit of thread time: every answer is charged the time it took (at least
// kMinimumChargeUs, so that cheap requests count too); the credit grows back at half
// the speed of the clock, up to kBurstUs. While it is used up, whole-view reads are
// answered Busy at once, and Kanasift's step gives up (reading item by item instead
// would take far more of the same thread: seconds at 10,000 names); selection changes
// are still carried out. A person typing stays within it; someone typing without pause
// into a list of 100,000 names outruns it after some seconds, and then only every other
// keystroke or so is searched. The first read of a large folder through a slow shell
// may outrun it too (10,000 names through Wine's shell took 2-18 s of the thread on our
// test machines; Windows' shell names files far faster): the names read so far are kept
// by the library, so the keystrokes after the pause go on from there. At most half of
// the thread's time goes to reads in the long run.
//
// One per library copy (per process), shared by the threads of that process: only
// 32-bit atomics, no waits. Platform-free: the caller gives the clock.
#pragma once

#include <atomic>
#include <cstdint>

namespace viewread {

class ServeShare {
 public:
  static constexpr std::int32_t kBurstUs = 4000000;
  static constexpr std::int32_t kMinimumChargeUs = 250;

  // True when a request may be answered at `nowMs` (a 32-bit millisecond tick).
  bool MayServe(std::uint32_t nowMs);
  // Charges an answer that took `elapsedUs`.
  void Charge(std::uint32_t elapsedUs);

 private:
  std::atomic<std::int32_t> creditUs_{kBurstUs};
  std::atomic<std::uint32_t> lastMs_{0};
  std::atomic<std::uint32_t> started_{0};
};

}  // namespace viewread
