// Key notifications, the dialogs' messages, the query service, and the main frame's side
// of the input engine (InputHost).
#include <windows.h>

#include "app/AppMessages.h"
#include "app/MainFrame.h"
#include "search/MigemoLoadThread.h"
#include "search/QueryService.h"
#include "tapline/Tapline.h"
#include "ui/DialogResult.h"
#include "ui/InputDialog.h"
#include "ui/InputTooltip.h"

namespace {

// How long a reply may wait for the requester's window.
constexpr UINT kReplyTimeoutMs = 3000;

KeyModifiers ModifiersOf(UINT message) {
  if (IsRegisteredMessage(message, UM_KEYDOWN_CTRL)) return KeyModifiers::Ctrl;
  if (IsRegisteredMessage(message, UM_KEYDOWN_ALT)) return KeyModifiers::Alt;
  if (IsRegisteredMessage(message, UM_KEYDOWN_CTRL_ALT)) return KeyModifiers::CtrlAlt;
  return KeyModifiers::None;
}

}  // namespace

LRESULT MainFrame::OnKeyDown(UINT message, WPARAM wParam, LPARAM lParam) {
  // A key pressed in a view, or with lParam 0 a second start's command (the engine
  // carries out both). Characters typed before this key are queued before it.
  if (inputRecvThread_) inputRecvThread_->FetchAndDeliver();
  KeyModifiers modifiers = ModifiersOf(message);
  auto view = static_cast<ViewHandle>(lParam);
  // Characters typed after it (fetched already, or not yet) run after it.
  const std::uint32_t moment = MessageMoment();
  inputQueue_.Push([this, modifiers, wParam, view] {
    if (engine_) engine_->OnKeyDown(modifiers, wParam, view);
  }, moment);
  DrainInput(moment);
  return 0;
}

LRESULT MainFrame::OnSearchWithRegex(WPARAM, LPARAM lParam) {
  // Text handed over by pointer is only read during one of our dialogs' own sends.
  if (!dialog_result::IsOwnDialogResult(lParam)) return 0;
  std::string text(reinterpret_cast<const char*>(lParam));  // valid only during this call
  const std::uint32_t moment = MessageMoment();
  inputQueue_.Push([this, text] {
    if (engine_) engine_->OnSearchWithRegex(text);
  }, moment);
  DrainInput(moment);
  return 0;
}

LRESULT MainFrame::OnSetNisHeader(LPARAM lParam) {
  // Text handed over by pointer is only read during one of our dialogs' own sends.
  if (!dialog_result::IsOwnDialogResult(lParam)) return 0;
  Tapline::setNisHeader(reinterpret_cast<const char*>(lParam));
  return 0;
}

LRESULT MainFrame::OnCopyData(HWND requester, const COPYDATASTRUCT* data) {
  if (data == nullptr) return FALSE;
  // The answer goes back only as WM_COPYDATA to the requester's window. Kanasift never
  // asks itself, so a reply address in dwData or a requester window of this process
  // (the sender picks wParam) can only come from another program: refused, nothing is
  // read or written at an address a sender chose.
  DWORD requesterProcess = 0;
  if (data->dwData != 0 || (requester != nullptr && GetWindowThreadProcessId(requester, &requesterProcess) != 0 &&
                            requesterProcess == GetCurrentProcessId())) {
    return FALSE;
  }
  std::optional<QueryRequest> request = ParseQueryRequest(data->lpData, data->cbData);
  if (!request || !migemoLoadThread_) return FALSE;
  std::string answer;
  if (!AnswerQuery(*migemoLoadThread_, *request, answer)) return FALSE;  // no dictionary
  RestartDictReleaseTimer();
  if (requester != nullptr && IsWindow(requester)) {
    COPYDATASTRUCT copy{};
    copy.cbData = static_cast<DWORD>(answer.size() + 1);
    copy.lpData = const_cast<char*>(answer.c_str());
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(requester, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy),
                        SMTO_ABORTIFHUNG, kReplyTimeoutMs, &ignored);
  }
  return TRUE;
}

// InputHost.

std::uint32_t MainFrame::TickCount() { return GetTickCount(); }

// The UI thread never receives keyboard input itself, so its own key state would be
// stale: ask for the physical state of the key.
bool MainFrame::IsShiftDown() { return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0; }

void MainFrame::InjectKey(std::uint8_t virtualKey) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  // Marked as ours and announced, so the hook library lets it through to the view.
  input.ki.dwExtraInfo = kInjectedKeyMarker;
  Tapline::expectInjectedKey(virtualKey);
  SendInput(1, &input, sizeof(INPUT));
}

void MainFrame::EnsureDictionaryLoading() {
  if (migemoLoadThread_) migemoLoadThread_->EnsureLoading();
}

void MainFrame::ShowInputTooltip(const ItemRect& itemRect, const std::string* matchedText) {
  if (!tooltip_ || !engine_) return;
  tooltip_->ShowInputTooltip(itemRect, matchedText ? matchedText->c_str() : nullptr,
                             engine_->state(), settings_);
}

void MainFrame::HideInputTooltip() {
  if (tooltip_) tooltip_->HideInputTooltip();
}

void MainFrame::ShowRegexDialog() {
  if (regexDialog_) regexDialog_->ShowInputDialog();
}

void MainFrame::ShowNisHeaderDialog() {
  if (nisHeaderDialog_) nisHeaderDialog_->ShowInputDialog();
}

void MainFrame::Beep() { MessageBeep(0); }

void MainFrame::ShowMessage(ViewHandle owner, const std::string& text, const std::string& title,
                            unsigned style) {
  MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), title.c_str(), style);
}
