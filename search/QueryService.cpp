#include "search/QueryService.h"

#include <cstring>
#include <limits>

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

void FillQueryReply(const std::string& answer, char* buffer, std::int32_t& capacity) {
  std::int32_t room = buffer ? capacity : 0;
  if (room > 0 && answer.size() < static_cast<std::size_t>(room)) {
    std::memcpy(buffer, answer.c_str(), answer.size() + 1);
    return;
  }
  constexpr std::size_t kMax = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
  capacity = static_cast<std::int32_t>(answer.size() < kMax ? answer.size() : kMax);
  if (room > 0) buffer[0] = '\0';
}
