#include "view/ViewChannel.h"

bool ViewChannel::Send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, UINT timeoutMs) {
  if (lost_) return false;
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(view_, message, wParam, lParam, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                           timeoutMs, &answer)) {
    lost_ = true;
    // A message that timed out stays queued for the view's thread: it may still be
    // processed when the thread wakes up.
    mayBePending_ = IsWindow(view_) != FALSE;
    return false;
  }
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}
