// The worker-thread base against the end of a run in every interleaving: the owner acts
// the moment the worker has said it is done, so any gap between "done" and the
// worker's last touch of the object shows up here (as a failed check, or under
// AddressSanitizer and ThreadSanitizer as a use after free or a race).
#include "input/KThreadBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

constexpr int kRounds = 400;

// Odd runs end at once; even runs, when `holdEvenRuns` is set, wait for `release`.
class Worker : public KThreadBase {
 public:
  bool holdEvenRuns = false;
  platform::Event entered{true, false};
  platform::Event release{true, false};

 protected:
  std::uint32_t Run() override {
    if (holdEvenRuns && ++runs_ % 2 == 0) {
      entered.Set();
      release.Wait(platform::kInfinite);
    }
    Finish();
    return 0;
  }

 private:
  std::atomic<int> runs_{0};
};

// The run that ended never marks the next one as finished.
TEST(KThreadBaseTest, ANewRunStaysRunningUntilItsOwnWorkerFinishes) {
  Worker worker;
  worker.holdEvenRuns = true;
  for (int round = 0; round < kRounds; ++round) {
    ASSERT_TRUE(worker.Start());  // ends at once
    while (!worker.Start()) {
    }  // started again the moment the object allows it
    ASSERT_TRUE(worker.entered.Wait(10000));
    const bool running = worker.IsRunning();
    const bool stopWaited = !worker.Stop(0);
    worker.entered.Reset();
    worker.release.Set();
    ASSERT_TRUE(worker.Stop(platform::kInfinite));
    worker.release.Reset();
    ASSERT_TRUE(running && stopWaited) << "round " << round;
  }
}

// Stop returns only once the run has finished, also when the worker is in its last steps.
TEST(KThreadBaseTest, StopWaitsForTheRunsVeryEnd) {
  Worker worker;
  for (int round = 0; round < kRounds; ++round) {
    ASSERT_TRUE(worker.Start());
    while (worker.threadId() != 0) {
    }  // inside Finish
    ASSERT_TRUE(worker.Stop(platform::kInfinite));
    ASSERT_FALSE(worker.IsRunning()) << "round " << round;
  }
}

// The destructor waits for the worker, however near its end it is.
TEST(KThreadBaseTest, DestroyingTheObjectAsItsRunEndsIsSafe) {
  for (int round = 0; round < kRounds; ++round) {
    auto worker = std::make_unique<Worker>();
    ASSERT_TRUE(worker->Start());
    while (worker->threadId() != 0) {
    }  // inside Finish
    worker.reset();
  }
  // And an object that was never started, or whose run was stopped, goes at once.
  Worker idle;
  EXPECT_TRUE(idle.Stop(0));
  EXPECT_FALSE(idle.IsRunning());
}

}  // namespace
