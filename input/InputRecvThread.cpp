#include "input/InputRecvThread.h"

InputRecvThread::InputRecvThread(InputSource& source, Callback inputCallback, const char* eventName)
    : source_(source), inputCallback_(std::move(inputCallback)), inputEvent_(false, false, eventName) {}

InputRecvThread::~InputRecvThread() {
  if (IsRunning()) Stop(platform::kInfinite);
}

int InputRecvThread::FetchAndDeliver() {
  std::lock_guard<std::mutex> lock(fetchLock_);
  int total = 0;
  // The hook's event coalesces signals, so take everything that is queued, batch after
  // batch (one batch holds the characters of one view).
  for (;;) {
    std::uint8_t chars[INPUT_BATCH_MAX];
    std::uint32_t ticks[INPUT_BATCH_MAX];
    int n = source_.Fetch(view_, chars, ticks);
    if (n <= 0) break;
    if (n > INPUT_BATCH_MAX) n = INPUT_BATCH_MAX;
    for (int i = 0; i < n; ++i) inputCallback_(view_, chars[i], ticks[i]);
    total += n;
  }
  return total;
}

std::uint32_t InputRecvThread::Run() {
  for (;;) {
    int which = platform::Event::WaitAny(stopEvent, inputEvent_, platform::kInfinite);
    if (which != 1) break;  // stop requested (or the wait failed: nothing sane to wait on)
    FetchAndDeliver();
  }
  Finish();
  return 0;
}
