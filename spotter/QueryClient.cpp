#include "spotter/QueryClient.h"

#include <cstring>

#include "search/EscapeChars.h"
#include "search/QueryService.h"
#include "tapline/TaplineTypes.h"

namespace {

constexpr wchar_t kReplyClass[] = L"KanasiftSpotterReply";
// Larger replies are not taken: Migemo's longest answers (a single letter) are a few
// kilobytes.
constexpr DWORD kMaxReplyBytes = 4u * 1024 * 1024;

bool RegisterReplyClass(WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), kReplyClass, &windowClass)) return true;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kReplyClass;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

QueryClient::QueryClient(DWORD timeoutMs) : timeoutMs_(timeoutMs) {
  if (!RegisterReplyClass(&QueryClient::ReplyProc)) return;
  replyWindow_.Reset(CreateWindowExW(0, kReplyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleW(nullptr), nullptr));
  if (replyWindow_) {
    SetWindowLongPtrW(replyWindow_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
}

QueryOutcome QueryClient::Ask(const std::string& query, const std::string& escapeChars,
                              std::string& answer) {
  answer.clear();
  std::string request = query;
  request += '\0';
  request += escapeChars;
  request += '\0';
  if (request.size() > kMaxQueryRequestBytes || query.find('\0') != std::string::npos) {
    return QueryOutcome::TooLong;
  }
  HWND kanasift = FindWindowA(KANASIFT_WINDOW_CLASS, nullptr);
  if (!kanasift) return QueryOutcome::NotRunning;
  if (!replyWindow_) return QueryOutcome::NoAnswer;

  COPYDATASTRUCT data{};
  data.dwData = 0;  // the answer comes back by WM_COPYDATA to our window
  data.cbData = static_cast<DWORD>(request.size());
  data.lpData = request.data();
  reply_.reset();
  waiting_ = true;
  DWORD_PTR result = 0;
  // Not SMTO_BLOCK: the reply is a message sent to this thread while we wait.
  LRESULT sent = SendMessageTimeoutA(kanasift, WM_COPYDATA, reinterpret_cast<WPARAM>(replyWindow_.Get()),
                                     reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                     timeoutMs_, &result);
  waiting_ = false;
  if (sent == 0) return IsWindow(kanasift) ? QueryOutcome::NoAnswer : QueryOutcome::NotRunning;
  if (result == FALSE) return QueryOutcome::NoDictionary;
  if (!reply_) return QueryOutcome::NoAnswer;
  answer = std::move(*reply_);
  reply_.reset();
  return QueryOutcome::Answered;
}

void QueryClient::TakeReply(const COPYDATASTRUCT* data) {
  // Only the answer to our own request, and only while we wait for it.
  if (!waiting_ || reply_ || data == nullptr || data->dwData != 0) return;
  if (data->cbData > kMaxReplyBytes || (data->cbData > 0 && data->lpData == nullptr)) return;
  const char* bytes = static_cast<const char*>(data->lpData);
  std::size_t size = data->cbData;
  // The text ends at its NUL, or with the data when there is none.
  const void* nul = size > 0 ? std::memchr(bytes, '\0', size) : nullptr;
  if (nul) size = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes);
  reply_.emplace(bytes, size);
}

LRESULT CALLBACK QueryClient::ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    auto* self = reinterpret_cast<QueryClient*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return FALSE;
    try {
      self->TakeReply(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    } catch (...) {
      return FALSE;  // out of memory: no answer
    }
    return TRUE;
  }
  if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  return DefWindowProcW(window, message, wParam, lParam);
}

std::optional<std::string> KanasiftDictionary::Query(const std::string& query, const char* escapeChars) {
  std::string answer;
  lastOutcome_ = client_.Ask(query, escapeChars ? escapeChars : kDefaultEscapeChars, answer);
  if (lastOutcome_ != QueryOutcome::Answered) return std::nullopt;
  return answer;
}
