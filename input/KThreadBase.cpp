#include "input/KThreadBase.h"

KThreadBase::KThreadBase() = default;

KThreadBase::~KThreadBase() {
  Stop(platform::kInfinite);
  // The run has finished (or never started): the worker may still be returning from
  // Run; wait for it, so that nothing of this object is touched after it is gone.
  std::lock_guard<std::mutex> lock(threadLock_);
  JoinFinishedThread();
}

void KThreadBase::JoinFinishedThread() {
  thread_.Join();
  thread_.Release();
}

bool KThreadBase::Start() {
  std::lock_guard<std::mutex> lock(threadLock_);
  if (thread_.Joinable()) {
    if (IsRunning()) return false;
    JoinFinishedThread();  // the previous run's worker, past its Finish
  }
  stopEvent.Reset();
  finishedEvent.Reset();
  if (!thread_.Start([this] { return Run(); })) return false;
  threadId_ = thread_.Id();
  return true;
}

bool KThreadBase::Stop(std::uint32_t timeoutMs) {
  {
    std::lock_guard<std::mutex> lock(threadLock_);
    if (!thread_.Joinable() || !IsRunning()) return true;
  }
  stopEvent.Set();
  return finishedEvent.Wait(timeoutMs);
}

bool KThreadBase::IsRunning() { return !finishedEvent.Wait(0); }

void KThreadBase::Finish() {
  {
    std::lock_guard<std::mutex> lock(threadLock_);
    threadId_ = 0;
  }
  // The worker's last touch of this object: from here on the owner may start the next
  // run or destroy the object; either first waits for this thread to end.
  finishedEvent.Set();
}
