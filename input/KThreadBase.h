// Base of the worker threads: owns the thread and two events through which the owner
// asks the thread to stop and learns that its run has finished. A finished object can
// be started again.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/Sync.h"

class KThreadBase {
 public:
  KThreadBase();
  virtual ~KThreadBase();
  KThreadBase(const KThreadBase&) = delete;
  KThreadBase& operator=(const KThreadBase&) = delete;

  // Starts a run unless one is in progress; false also when no thread could be made.
  bool Start();
  // Asks the run to stop and waits up to `timeoutMs` (platform::kInfinite allowed) for it
  // to finish; false only when the wait timed out.
  bool Stop(std::uint32_t timeoutMs);
  // True while a run has not finished.
  bool IsRunning();

  std::uint32_t threadId() const { return threadId_.load(); }

 protected:
  // The thread's body; every implementation ends with Finish().
  virtual std::uint32_t Run() = 0;
  // Called by Run as its last step, on the worker thread.
  void Finish();

  platform::Event stopEvent{true, false};
  platform::Event finishedEvent{true, true};

 private:
  // Guards the thread object: Finish (worker) and Start/Stop/destructor (owner) agree
  // through it on who releases the handle, so it is released exactly once.
  std::mutex threadLock_;
  platform::Thread thread_;
  std::atomic<std::uint32_t> threadId_{0};
};
