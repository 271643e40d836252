// The text an input dialog hands its owner in lParam of its result message, valid only
// during that send on the dialog's thread. The owner takes lParam only when it is the
// text being sent right now: a forged or stale message with the same number (posted by
// another program and dispatched by a modal loop, which runs no message filter, or sent
// from another thread) is never read through, whatever address it carries.
#pragma once

#include <windows.h>

namespace dialog_result {

// Marks `text` as the text being sent on this thread, for the object's lifetime.
class ScopedSend {
 public:
  explicit ScopedSend(const char* text);
  ~ScopedSend();
  ScopedSend(const ScopedSend&) = delete;
  ScopedSend& operator=(const ScopedSend&) = delete;

 private:
  const char* previous_;
};

// True when `lParam` is the text of a send in progress on this thread.
bool IsTextBeingSent(LPARAM lParam);

// The owner's check for a dialog's result message, in its window procedure: the message
// is the dialog's own send on this thread. InSendMessage() alone cannot tell a
// same-thread send from a posted message that a modal loop dispatches without the
// owner's message filter; the text mark alone cannot tell it from a send of another
// thread or process that names the same address.
bool IsOwnDialogResult(LPARAM lParam);

}  // namespace dialog_result
