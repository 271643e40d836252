// For GoogleTest fixtures whose start-up helper (starting viewhost, say) may fail with
// ASSERT_* or skip with GTEST_SKIP: a failure or skip inside a helper does not end the
// test by itself, this does.
#pragma once

#define ASSERT_STARTED(call)                     \
  do {                                           \
    call;                                        \
    if (HasFatalFailure() || IsSkipped()) return; \
  } while (0)
