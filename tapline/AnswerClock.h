// The time one answer to Kanasift may take in the view's thread, and the clock that
// measures it. Whoever waits for the answer (or nobody: Kanasift may have given up on
// it), the view's thread is back to its own messages within the budget.
#pragma once

#include <windows.h>

namespace tapline {

constexpr LONGLONG kAnswerBudgetUs = 500000;

// Microseconds since it was made.
class Stopwatch {
 public:
  Stopwatch() {
    QueryPerformanceFrequency(&frequency_);
    QueryPerformanceCounter(&start_);
  }
  LONGLONG Microseconds() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return frequency_.QuadPart > 0 ? (now.QuadPart - start_.QuadPart) * 1000000 / frequency_.QuadPart : 0;
  }
  bool Over(LONGLONG budgetUs) const { return Microseconds() > budgetUs; }

 private:
  LARGE_INTEGER frequency_;
  LARGE_INTEGER start_;
};

}  // namespace tapline
