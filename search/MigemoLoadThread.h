// Holds the Migemo dictionary and opens it on a worker thread. The dictionary is opened
// in the background when a new input begins, synchronously when a query needs it and
// none is held, and closed again after an idle time (the owner's timer calls
// CloseMigemo).
//
// One lock guards the Migemo object: the loader publishes the opened object under it,
// every query holds it for query, copy and release of the answer, and CloseMigemo
// takes it, so the dictionary is never closed under a query. No raw answer leaves this
// class.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "input/KThreadBase.h"
#include "search/Dictionary.h"

struct _migemo;

class MigemoLoadThread : public KThreadBase, public Dictionary {
 public:
  explicit MigemoLoadThread(std::string dictPath);
  ~MigemoLoadThread() override;

  // Waits for a load in progress, then tells whether a Migemo object is held (also one
  // whose dictionary is not usable: such an object is kept until CloseMigemo).
  bool IsLoaded();
  // Makes sure the dictionary is loaded or loading: starts a background load unless an
  // object is held. Called on the first key of a new input.
  void EnsureLoading();
  // Loads synchronously when no object is held (waiting for a background load instead
  // of starting a second one); true when a usable dictionary is held afterwards.
  bool LoadNow();
  // Waits for a load in progress, then closes and forgets the object.
  void CloseMigemo();

  // Dictionary: the answer to `query` with the characters of `escapeChars` escaped
  // (nullptr: the default set). Nothing when no usable dictionary could be opened; an
  // empty text when Migemo gives no answer (an empty query).
  std::optional<std::string> Query(const std::string& query, const char* escapeChars) override;

  const std::string& dictPath() const { return dictPath_; }

 protected:
  std::uint32_t Run() override;

 private:
  bool HoldsObject();
  void LoadIfNone();

  std::mutex lock_;               // guards migemoObject_ and every use of it
  _migemo* migemoObject_ = nullptr;
  const std::string dictPath_;
};

// True when C/Migemo can safely be given the file: it exists and holds no NUL byte
// (Migemo's loader dereferences a null node for a dictionary line that begins with
// one). A file that cannot be read counts as safe: Migemo reports it unusable itself.
bool IsSafeDictionaryFile(const std::string& path);
