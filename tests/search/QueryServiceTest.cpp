#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "search/EscapeChars.h"
#include "search/MigemoLoadThread.h"
#include "search/QueryService.h"
#include "tests/search/SearchTestSupport.h"

namespace {

// The bytes on the heap with nothing after them, so a read past the end is caught
// under AddressSanitizer.
std::optional<QueryRequest> Parse(const std::string& bytes) {
  std::unique_ptr<char[]> exact(new char[bytes.size() ? bytes.size() : 1]);
  std::memcpy(exact.get(), bytes.data(), bytes.size());
  return ParseQueryRequest(exact.get(), bytes.size());
}

TEST(ParseQueryRequestTest, ReadsTheQueryAndItsEscapeSet) {
  auto request = Parse(std::string("a.b\0.\0", 6));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->query, "a.b");
  EXPECT_EQ(request->escapeChars, ".");
  request = Parse(std::string("a.b\0\0", 5));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->escapeChars, "");  // escape nothing
  request = Parse(std::string("\0\0", 2));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->query, "");
  request = Parse(std::string("kai\0+\0trailing", 14));  // bytes after the second NUL are ignored
  ASSERT_TRUE(request);
  EXPECT_EQ(request->escapeChars, "+");
}

TEST(ParseQueryRequestTest, WithoutAnEscapeSetTheDefaultApplies) {
  auto request = Parse(std::string("kaisya\0", 7));
  ASSERT_TRUE(request);
  EXPECT_EQ(request->query, "kaisya");
  EXPECT_EQ(request->escapeChars, kDefaultEscapeChars);
}

TEST(ParseQueryRequestTest, RefusesMalformedRequests) {
  EXPECT_FALSE(ParseQueryRequest(nullptr, 0));
  EXPECT_FALSE(ParseQueryRequest(nullptr, 8));
  char byte = 0;
  EXPECT_FALSE(ParseQueryRequest(&byte, 0));
  EXPECT_FALSE(Parse("kaisya"));                            // no NUL at all
  EXPECT_FALSE(Parse(std::string("kai\0.+", 6)));            // escape set not ended
  std::string big(kMaxQueryRequestBytes, 'a');
  big.back() = '\0';
  EXPECT_TRUE(Parse(big));
  big.push_back('\0');
  EXPECT_FALSE(Parse(big));                                 // one byte over the limit
}

TEST(AnswerQueryTest, UsesTheRequestsEscapeSetForThatQueryOnly) {
  MigemoLoadThread dictionary(TestDictPath());
  std::string answer;
  ASSERT_TRUE(AnswerQuery(dictionary, {"A.b+c", "."}, answer));
  EXPECT_NE(answer.find("A\\.b+c"), std::string::npos) << answer;
  EXPECT_EQ(answer.find("\\+"), std::string::npos) << answer;
  ASSERT_TRUE(AnswerQuery(dictionary, {"A.b+c", kDefaultEscapeChars}, answer));
  EXPECT_NE(answer.find("A\\.b\\+c"), std::string::npos) << answer;
  ASSERT_TRUE(AnswerQuery(dictionary, {"A.b", ""}, answer));
  EXPECT_NE(answer.find("A.b"), std::string::npos) << answer;
  EXPECT_EQ(answer.find('\\'), std::string::npos) << answer;
  // The next typed input is escaped with the full default set again.
  auto typed = dictionary.Query("A.b+c", nullptr);
  ASSERT_TRUE(typed);
  EXPECT_NE(typed->find("A\\.b\\+c"), std::string::npos);
  ASSERT_TRUE(AnswerQuery(dictionary, {"", ""}, answer));
  EXPECT_EQ(answer, "");
}

TEST(AnswerQueryTest, FailsWithoutAUsableDictionary) {
  MigemoLoadThread dictionary("no-such-folder/migemo-dict");
  std::string answer = "before";
  EXPECT_FALSE(AnswerQuery(dictionary, {"kaisya", kDefaultEscapeChars}, answer));
  EXPECT_EQ(answer, "before");
}

}  // namespace
