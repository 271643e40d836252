// Messages to a view in another process, each with a bound on the wait.
//
// A view that stops answering (its thread hangs, its process is gone) must not freeze
// Kanasift: every message is sent with SendMessageTimeoutA (SMTO_BLOCK |
// SMTO_ABORTIFHUNG) and a bound. A healthy view answers an item message in well under a
// millisecond (0.1-0.5 ms across processes under Wine), so kViewAnswerTimeoutMs, one
// second, is only ever reached by a view that is in trouble. A message that acts on
// every item at once (a state for index -1, the check-box style) makes the control
// walk all its items: 0.2-0.4 s for 10,000 items under Wine, more on a busy machine, so
// it gets kViewBulkAnswerTimeoutMs. One such wait ends the operation: after the first
// failed send the channel is lost and sends nothing more. A window that stopped taking
// messages altogether (hung for 5 s) fails at once through SMTO_ABORTIFHUNG.
#pragma once

#include <windows.h>

constexpr UINT kViewAnswerTimeoutMs = 1000;
constexpr UINT kViewBulkAnswerTimeoutMs = 5000;

class ViewChannel {
 public:
  explicit ViewChannel(HWND view) : view_(view), lost_(!IsWindow(view)) {}

  HWND Window() const { return view_; }
  bool Lost() const { return lost_; }

  // False when the view did not answer in time or is gone; the channel is lost then.
  bool Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr,
            UINT timeoutMs = kViewAnswerTimeoutMs);
  // The last failed send may still reach the view later (it timed out while the window
  // lives), so memory it points to must stay valid.
  bool MessageMayBePending() const { return mayBePending_; }
  void MarkLost() { lost_ = true; }

 private:
  HWND view_;
  bool lost_;
  bool mayBePending_ = false;
};
