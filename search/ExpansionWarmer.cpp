#include "search/ExpansionWarmer.h"

#include "platform/Platform.h"
#include "platform/Sync.h"

ExpansionWarmer::~ExpansionWarmer() { Stop(platform::kInfinite); }

std::vector<std::string> ExpansionWarmer::OneLetterInputs() {
  std::vector<std::string> inputs;
  for (char c : std::string("kstnhmyagrdbiuoezwpjfcvlqx")) inputs.emplace_back(1, c);
  return inputs;
}

void ExpansionWarmer::AfterKey(std::unique_ptr<ExpansionWarmer>& warmer, Dictionary& dictionary, int kanafyLength) {
  if (warmer) {
    warmer->NoteKey();
  } else if (kanafyLength <= 1) {
    warmer = std::make_unique<ExpansionWarmer>(dictionary, OneLetterInputs());
    warmer->Start();
  }
}

void ExpansionWarmer::NoteKey() { lastKeyAt_.store(platform::TickCount()); }

std::uint32_t ExpansionWarmer::Run() {
  for (const auto& query : queries_) {
    for (;;) {
      const std::uint32_t since = platform::TickCount() - lastKeyAt_.load();
      if (since >= kQuietMs) break;
      if (stopEvent.Wait(kQuietMs - since)) break;
    }
    if (stopEvent.Wait(0)) break;
    dictionary_.Query(query, nullptr);
  }
  Finish();
  return 0;
}
