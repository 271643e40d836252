#include "input/KThreadBase.h"

KThreadBase::KThreadBase() = default;

KThreadBase::~KThreadBase() {
  bool running;
  {
    std::lock_guard<std::mutex> lock(threadLock_);
    running = thread_.Joinable();
  }
  if (running) Stop(platform::kInfinite);
  // The run has finished (or never started); wait for the thread itself to leave Run so
  // that it no longer touches this object, then let the handle go.
  std::lock_guard<std::mutex> lock(threadLock_);
  thread_.Join();
  thread_.Release();
}

bool KThreadBase::Start() {
  std::lock_guard<std::mutex> lock(threadLock_);
  if (thread_.Joinable()) return false;
  stopEvent.Reset();
  finishedEvent.Reset();
  if (!thread_.Start([this] { return Run(); })) return false;
  threadId_ = thread_.Id();
  return true;
}

bool KThreadBase::Stop(std::uint32_t timeoutMs) {
  {
    std::lock_guard<std::mutex> lock(threadLock_);
    if (!thread_.Joinable()) return true;
  }
  stopEvent.Set();
  return finishedEvent.Wait(timeoutMs);
}

bool KThreadBase::IsRunning() { return !finishedEvent.Wait(0); }

void KThreadBase::Finish() {
  {
    std::lock_guard<std::mutex> lock(threadLock_);
    thread_.Release();  // the thread runs on to its end and cleans up after itself
    threadId_ = 0;
  }
  finishedEvent.Set();
}
