// Asks the running Kanasift for Migemo expansions through its WM_COPYDATA query service.
// The request is the query, a NUL, the escape set and a NUL, sent with a bounded wait;
// Kanasift answers with WM_COPYDATA to a message-only window of ours while our send is
// still waiting, so the answer is there when the send returns.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/Win32Handles.h"
#include "spotter/QueryOutcome.h"

class QueryClient {
 public:
  static constexpr DWORD kDefaultTimeoutMs = 10000;

  explicit QueryClient(DWORD timeoutMs = kDefaultTimeoutMs);
  QueryClient(const QueryClient&) = delete;
  QueryClient& operator=(const QueryClient&) = delete;

  // Expands `query` (ANSI code page) with the characters of `escapeChars` escaped in
  // Migemo's words. The answer is Kanasift's text, without its NUL.
  QueryOutcome Ask(const std::string& query, const std::string& escapeChars, std::string& answer);

 private:
  static LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void TakeReply(const COPYDATASTRUCT* data);

  DWORD timeoutMs_;
  UniqueWindow replyWindow_;
  bool waiting_ = false;
  std::optional<std::string> reply_;
};

// The dictionary of the name filter, served by Kanasift. It remembers how the last
// query went, so that the window can tell "not running" from "no dictionary". Its
// client's window belongs to the thread that makes it: only that thread may query.
class KanasiftDictionary : public ReportingDictionary {
 public:
  explicit KanasiftDictionary(DWORD timeoutMs = QueryClient::kDefaultTimeoutMs) : client_(timeoutMs) {}
  std::optional<std::string> Query(const std::string& query, const char* escapeChars) override;
  QueryOutcome lastOutcome() const override { return lastOutcome_; }

 private:
  QueryClient client_;
  QueryOutcome lastOutcome_ = QueryOutcome::Answered;
};
