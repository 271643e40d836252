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
  // Called by Run as its last step, on the worker thread: after it, the run counts as
  // finished and the worker must not touch the object any more.
  void Finish();

  platform::Event stopEvent{true, false};
  platform::Event finishedEvent{true, true};

 private:
  // Waits for the worker of a finished run to end and lets its handle go (lock held).
  void JoinFinishedThread();

  // Guards the thread object. The owner alone releases the thread's handle, and only
  // after the thread has ended: the next Start and the destructor wait for the worker
  // of a finished run, so no worker ever outlives the object or marks a later run.
  std::mutex threadLock_;
  platform::Thread thread_;
  std::atomic<std::uint32_t> threadId_{0};
};
