#include "ui/InputDialog.h"

#include <algorithm>
#include <vector>

#include "framework/Dpi.h"
#include "platform/Platform.h"
#include "ui/DialogResult.h"
#include "ui/HistoryFile.h"

namespace {

// The text of a window in the ANSI code page, whatever its length.
std::string WindowTextA(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, buffer.data(), length + 1);
  return std::string(buffer.data(), static_cast<size_t>(std::max(0, copied)));
}

}  // namespace

std::string ExecutableDirectory() { return DirectoryOf(platform::ExecutablePath()); }

InputDialog::InputDialog(std::string historyFileName, std::int32_t historyMax,
                         UINT resultMessage, std::string directory)
    : historyFileName_(std::move(historyFileName)),
      resultMessage_(resultMessage),
      historyPath_(HistoryFilePath(directory.empty() ? ExecutableDirectory() : directory,
                                   historyFileName_)),
      history_(historyMax) {}

InputDialog::~InputDialog() { Destroy(); }

bool InputDialog::Create(HWND owner, HINSTANCE instance) {
  instance_ = instance;
  return ModelessDialog::Create(instance, IDD_INPUT_DIALOG, owner);
}

void InputDialog::SetTexts(const wchar_t* caption, const wchar_t* okText) {
  if (!window()) return;
  SetWindowTextW(window(), caption);
  SetDlgItemTextW(window(), IDOK, okText);
}

bool InputDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_INITDIALOG:
      result = OnInitDialog();
      return true;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          OnOK();
          return true;
        case IDCANCEL:  // the button, Escape or the close box: nothing is sent
          ShowWindow(window(), SW_HIDE);
          return true;
        default:
          return false;
      }
    case WM_DPICHANGED:  // moved to a monitor of another DPI
      layout_.Apply(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      SetIcons();
      result = 0;
      return true;
    default:
      return false;
  }
}

BOOL InputDialog::OnInitDialog() {
  // The template's DS_SYSMODAL asks for a topmost window; not every system makes it one.
  SetWindowPos(window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  CenterWindow(window());
  layout_.Capture(window());
  SetIcons();
  loop_ = MessageLoop::ForCurrentThread();
  if (loop_) {
    loop_->AddMessageFilter(this);
    loop_->AddIdleHandler(this);
  }
  comboBox_ = GetDlgItem(window(), IDC_INPUT_COMBO);
  SendMessageA(comboBox_, CB_LIMITTEXT, kHistoryEntryMax, 0);
  LoadHistory();
  return TRUE;
}

void InputDialog::SetIcons() {
  const UINT dpi = layout_.dpi();
  UniqueIcon big(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                               dpi::SystemMetric(SM_CXICON, dpi),
                                               dpi::SystemMetric(SM_CYICON, dpi), LR_DEFAULTCOLOR)));
  UniqueIcon small(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                 dpi::SystemMetric(SM_CXSMICON, dpi),
                                                 dpi::SystemMetric(SM_CYSMICON, dpi), LR_DEFAULTCOLOR)));
  SendMessageA(window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
  SendMessageA(window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
  // The window no longer shows the previous icons.
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
}

void InputDialog::OnDestroyWindow() {
  // Only while the loop registered with is still the thread's loop (it may be gone).
  if (loop_ && loop_ == MessageLoop::ForCurrentThread()) {
    loop_->RemoveMessageFilter(this);
    loop_->RemoveIdleHandler(this);
  }
  loop_ = nullptr;
  comboBox_ = nullptr;
}

bool InputDialog::PreTranslateMessage(MSG* msg) {
  if (!window()) return false;
  return IsDialogMessageA(window(), msg) != FALSE;
}

void InputDialog::LoadHistory() {
  history_.Load(historyPath_);
  for (const std::string& entry : history_.entries()) {
    SendMessageA(comboBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
  // The dialog opens with the most recent text; nothing is sent until it is confirmed.
  if (!history_.empty()) SetWindowTextA(comboBox_, history_.entries().front().c_str());
}

bool InputDialog::SaveHistory() { return history_.Save(historyPath_); }

void InputDialog::ShowInputDialog() {
  if (!window()) return;
  ShowWindow(window(), SW_SHOW);
  // The dialog is topmost from its creation; here it goes first among the topmost windows
  // (above the tooltip, which may lie over the edit box) and is painted before the click
  // below, so that the click lands on the edit box and not on a window under it.
  SetWindowPos(window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  UpdateWindow(window());

  RECT combo{};
  GetWindowRect(comboBox_, &combo);
  POINT cursor{};
  GetCursorPos(&cursor);
  SetCursorPos(combo.left + 1, combo.top + 1);
  INPUT click[2]{};
  click[0].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].type = INPUT_MOUSE;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, click, sizeof(INPUT));
  SetCursorPos(cursor.x, cursor.y);
}

void InputDialog::OnOK() {
  ShowWindow(window(), SW_HIDE);
  // Everything the receivers and the history take is 255 bytes at most; a longer text
  // (255 double-byte characters fit in the field) is cut at a character boundary.
  const std::string text = CutToCharacterLimit(WindowTextA(comboBox_));

  const int removed = history_.Confirm(text);
  if (removed >= 0) SendMessageA(comboBox_, CB_DELETESTRING, static_cast<WPARAM>(removed), 0);
  SendMessageA(comboBox_, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // Deleting the selected entry may have cleared the edit field.
  SetWindowTextA(comboBox_, text.c_str());

  dialog_result::ScopedSend sending(text.c_str());
  SendMessageA(GetParent(window()), resultMessage_, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

const char* InputDialogHistoryFile(InputDialogKind kind) {
  return kind == InputDialogKind::Regex ? "RegexHistory.ini" : "NisHeaderHistory.ini";
}

std::unique_ptr<InputDialog> CreateInputDialog(InputDialogKind kind, HWND owner,
                                               HINSTANCE instance, std::int32_t historyMax,
                                               UINT resultMessage, std::string directory) {
  auto dialog = std::make_unique<InputDialog>(InputDialogHistoryFile(kind), historyMax,
                                              resultMessage, std::move(directory));
  dialog->Create(owner, instance);
  // The template carries the regular-expression dialog's texts.
  if (kind == InputDialogKind::NisHeader) dialog->SetTexts(L"NISヘッダ設定", L"設定");
  return dialog;
}
