#include "search/QueryService.h"

#include <cstring>

#include "search/EscapeChars.h"

std::optional<QueryRequest> ParseQueryRequest(const void* data, std::size_t size) {
  if (!data || size == 0 || size > kMaxQueryRequestBytes) return std::nullopt;
  const char* bytes = static_cast<const char*>(data);
  const char* end = bytes + size;

  const char* queryEnd = static_cast<const char*>(std::memchr(bytes, '\0', size));
  if (!queryEnd) return std::nullopt;
  QueryRequest request;
  request.query.assign(bytes, queryEnd);

  const char* escape = queryEnd + 1;
  if (escape == end) {
    request.escapeChars = kDefaultEscapeChars;
    return request;
  }
  const char* escapeEnd = static_cast<const char*>(std::memchr(escape, '\0', static_cast<std::size_t>(end - escape)));
  if (!escapeEnd) return std::nullopt;
  request.escapeChars.assign(escape, escapeEnd);
  return request;
}

bool AnswerQuery(Dictionary& dictionary, const QueryRequest& request, std::string& answer) {
  std::optional<std::string> result = dictionary.Query(request.query, request.escapeChars.c_str());
  if (!result) return false;
  answer = std::move(*result);
  return true;
}
