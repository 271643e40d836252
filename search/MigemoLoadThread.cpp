#include "search/MigemoLoadThread.h"

#include "platform/Platform.h"

#include <migemo.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "search/EscapeChars.h"

bool IsSafeDictionaryFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return true;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
    if (n == 0) return true;
    if (std::memchr(buffer.data(), '\0', n)) return false;
  }
}

MigemoLoadThread::MigemoLoadThread(std::string dictPath) : dictPath_(std::move(dictPath)) {}

MigemoLoadThread::~MigemoLoadThread() { CloseMigemo(); }

std::uint32_t MigemoLoadThread::Run() {
  if (!HoldsObject()) {
    migemo* opened = nullptr;
    if (IsSafeDictionaryFile(dictPath_)) opened = migemo_open(dictPath_.c_str());
    if (opened && migemo_is_enable(opened)) migemo_setproc_int2char(opened, MigemoInt2Char);
    std::lock_guard<std::mutex> lock(lock_);
    if (!migemoObject_) {
      migemoObject_ = opened;
    } else if (opened) {
      migemo_close(opened);  // cannot happen: only one load runs at a time
    }
  }
  Finish();
  return 0;
}

bool MigemoLoadThread::HoldsObject() {
  std::lock_guard<std::mutex> lock(lock_);
  return migemoObject_ != nullptr;
}

bool MigemoLoadThread::IsLoaded() {
  if (IsRunning()) Stop(platform::kInfinite);
  return HoldsObject();
}

void MigemoLoadThread::EnsureLoading() {
  if (!IsLoaded()) Start();
}

void MigemoLoadThread::LoadIfNone() {
  if (HoldsObject()) return;
  Start();  // does nothing while a load runs; the wait below then waits for that one
  Stop(platform::kInfinite);
}

bool MigemoLoadThread::LoadNow() {
  LoadIfNone();
  std::lock_guard<std::mutex> lock(lock_);
  return migemoObject_ && migemo_is_enable(migemoObject_);
}

void MigemoLoadThread::CloseMigemo() {
  if (IsRunning()) Stop(platform::kInfinite);
  std::lock_guard<std::mutex> lock(lock_);
  if (migemoObject_) {
    migemo_close(migemoObject_);
    migemoObject_ = nullptr;
  }
}

namespace {
// A query that ends in half a double-byte character: Migemo would take the lone lead
// byte as a prefix of every word that starts with it (most of the dictionary, seconds of
// work). Half a character can never match a name, so it is left out.
std::string WithoutTrailingLeadByte(const std::string& query) {
  const char* p = query.c_str();
  const char* end = p + query.size();
  while (p < end) {
    if (platform::IsLeadByte(static_cast<unsigned char>(*p))) {
      if (p + 1 == end) return std::string(query.c_str(), p);
      p += 2;
    } else {
      p += 1;
    }
  }
  return query;
}
}  // namespace

std::optional<std::string> MigemoLoadThread::Query(const std::string& fullQuery, const char* escapeChars) {
  std::string query = WithoutTrailingLeadByte(fullQuery);
  LoadIfNone();
  std::lock_guard<std::mutex> lock(lock_);
  if (!migemoObject_ || !migemo_is_enable(migemoObject_)) return std::nullopt;
  // Migemo's answer to an empty query is not to be relied on (under 32-bit Windows it
  // reads past the text and answers with much of the dictionary): nothing asked, nothing
  // answered.
  if (query.empty()) return std::string();
  ScopedEscapeChars escape(escapeChars);
  migemo* object = migemoObject_;
  auto release = [object](unsigned char* answer) { migemo_release(object, answer); };
  std::unique_ptr<unsigned char, decltype(release)> answer(
      migemo_query(object, reinterpret_cast<const unsigned char*>(query.c_str())), release);
  if (!answer) return std::string();
  return std::string(reinterpret_cast<const char*>(answer.get()));
}
