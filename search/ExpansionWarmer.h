// Asks the dictionary, on a worker thread, for answers a user is about to need, so that
// the recent answers in front of it hold them before the keys come. With one-letter
// expansion (KanafyLength 1) every word begins with a one-letter query, the dearest of
// all (tens of milliseconds each): the first of each letter would otherwise be paid on
// a keystroke.
//
// The queries go through the same Dictionary the pattern builder asks (its own lock
// guards each one), one after another, each only once no key has come for kQuietMs:
// a key's own query would otherwise wait for the warmer's under the dictionary's lock.
// Stop() ends the run after the query under way.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "input/KThreadBase.h"
#include "search/Dictionary.h"

class ExpansionWarmer : public KThreadBase {
 public:
  ExpansionWarmer(Dictionary& dictionary, std::vector<std::string> queries)
      : dictionary_(dictionary), queries_(std::move(queries)) {
    NoteKey();
  }
  ~ExpansionWarmer() override;

  // The one-letter inputs, the letters words most often begin with first.
  static std::vector<std::string> OneLetterInputs();

  // A key came (any thread): the next query waits for a pause.
  void NoteKey();
  // After a key's pattern is built: notes the key, or, with one-letter expansion
  // (kanafyLength 1 or less), starts the one-letter inputs' warmer, once.
  static void AfterKey(std::unique_ptr<ExpansionWarmer>& warmer, Dictionary& dictionary, int kanafyLength);
  static constexpr std::uint32_t kQuietMs = 300;

 protected:
  std::uint32_t Run() override;

 private:
  Dictionary& dictionary_;
  const std::vector<std::string> queries_;
  std::atomic<std::uint32_t> lastKeyAt_;
};
