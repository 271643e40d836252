// The platform-free core of the Migemo query service that other programs reach through
// WM_COPYDATA: checking the request's bytes and asking the dictionary. The Win32 handler
// decides whom to trust and delivers the answer.
//
// A request is the query, a NUL, then the escape set for this query and a NUL (an empty
// escape set escapes nothing). A request that ends right after the query's NUL uses the
// default escape set.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "search/Dictionary.h"

// Requests larger than this are refused: a Migemo query is a typed word, and the
// answer to a long one grows with every word in it.
inline constexpr std::size_t kMaxQueryRequestBytes = 4096;

struct QueryRequest {
  std::string query;
  std::string escapeChars;
};

// Reads a request from exactly `size` bytes at `data` (never beyond). Nothing when data
// is null, size is 0 or above kMaxQueryRequestBytes, the query has no NUL within the
// bytes, or an escape set follows without its NUL.
std::optional<QueryRequest> ParseQueryRequest(const void* data, std::size_t size);

// Asks the dictionary (which may load it first). False when no usable dictionary could
// be opened; an answer Migemo does not give (an empty query) is the empty text.
bool AnswerQuery(Dictionary& dictionary, const QueryRequest& request, std::string& answer);
