#include "ui/DialogResult.h"

namespace dialog_result {

namespace {
thread_local const char* textBeingSent = nullptr;
}

ScopedSend::ScopedSend(const char* text) : previous_(textBeingSent) { textBeingSent = text; }

ScopedSend::~ScopedSend() { textBeingSent = previous_; }

bool IsTextBeingSent(LPARAM lParam) {
  return lParam != 0 && reinterpret_cast<const char*>(lParam) == textBeingSent;
}

bool IsOwnDialogResult(LPARAM lParam) { return !InSendMessage() && IsTextBeingSent(lParam); }

}  // namespace dialog_result
