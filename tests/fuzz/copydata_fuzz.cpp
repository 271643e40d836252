// The query service's request parser on arbitrary WM_COPYDATA bytes: never reads past
// the data, accepts only well-formed requests, and answers each with the escape set it
// asked for only.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "search/EscapeChars.h"
#include "search/QueryService.h"

namespace {

// Writes the query as Migemo would write its own words: through MigemoInt2Char with the
// request's escape set.
class EchoDictionary : public Dictionary {
 public:
  std::optional<std::string> Query(const std::string& query, const char* escapeChars) override {
    ScopedEscapeChars escape(escapeChars);
    std::string out;
    for (std::size_t i = 0; i < query.size(); ++i) {
      auto c = static_cast<unsigned char>(query[i]);
      unsigned code = c;
      if (c >= 0x81 && i + 1 < query.size()) code = (c << 8) | static_cast<unsigned char>(query[++i]);
      unsigned char bytes[2];
      int n = MigemoInt2Char(code, bytes);
      if (n < 1 || n > 2) std::abort();
      out.append(reinterpret_cast<char*>(bytes), static_cast<std::size_t>(n));
    }
    return out;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<QueryRequest> request = ParseQueryRequest(data, size);
  if (!request) return 0;
  if (size == 0 || size > kMaxQueryRequestBytes) std::abort();
  if (request->query.size() >= size || request->query.find('\0') != std::string::npos) std::abort();
  if (request->escapeChars.find('\0') != std::string::npos) std::abort();

  EchoDictionary dictionary;
  std::string answer;
  if (!AnswerQuery(dictionary, *request, answer)) std::abort();
  if (CurrentEscapeChars() != kDefaultEscapeChars) std::abort();  // the default is back
  if (answer.size() < request->query.size()) std::abort();
  return 0;
}
