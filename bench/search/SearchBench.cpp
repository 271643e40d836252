// Figures of the search core: opening the dictionary, query and compile per input,
// the background load against the typing budget, and matching cost per item name.
//
//   search_bench [dictionary path]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "search/ItemMatch.h"
#include "search/MigemoLoadThread.h"
#include "search/PatternBuilder.h"
#include "search/SjisJis.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

class SilentNotifier : public UserNotifier {
 public:
  void Beep() override {}
  void ShowMessage(ViewHandle, const std::string& text, const std::string&, unsigned) override {
    std::printf("  (message: %s)\n", text.c_str());
  }
};

// 10,000 names as a Japanese user's folders hold them: kanji, kana, half-width kana and
// ASCII, with numbers and extensions.
std::vector<std::string> RealisticNames() {
  const wchar_t* stems[] = {L"会社資料",   L"かいしゃ案内", L"ｶｲｼｬ概要",  L"報告書(最終版)", L"テスト結果",
                            L"ﾃｽﾄﾃﾞｰﾀ",   L"IMG_",        L"readme",    L"日本地図",       L"にほんご練習",
                            L"議事録",     L"見積書",       L"ﾌﾟﾚｾﾞﾝ資料", L"Project plan",   L"写真",
                            L"まとめ",     L"Backup",       L"請求書",     L"ｱﾙﾊﾞﾑ",          L"sample data"};
  const char* extensions[] = {".txt", ".xlsx", ".docx", ".pdf", ".JPG", ".csv", "", ".zip"};
  std::vector<std::string> names;
  std::uint32_t x = 12345;
  for (int i = 0; i < 10000; ++i) {
    x = x * 1103515245u + 12345u;
    std::string name = platform::WideToAnsi(stems[(x >> 8) % 20]);
    name += std::to_string((x >> 4) % 3000);
    name += extensions[(x >> 16) % 8];
    names.push_back(name);
  }
  return names;
}

void DictionaryFigures(const std::string& path) {
  std::printf("Dictionary: %s\n", path.c_str());
  std::vector<double> scans, opens, background;
  for (int i = 0; i < 7; ++i) {
    auto start = Clock::now();
    IsSafeDictionaryFile(path);
    scans.push_back(MsSince(start));

    MigemoLoadThread dictionary(path);
    start = Clock::now();
    if (!dictionary.LoadNow()) {
      std::printf("  cannot open the dictionary\n");
      return;
    }
    opens.push_back(MsSince(start));
    dictionary.CloseMigemo();

    // A new input's first key starts the load; at fast typing the third key, which
    // needs the dictionary, comes two intervals of 80 ms later.
    start = Clock::now();
    dictionary.EnsureLoading();
    dictionary.IsLoaded();
    background.push_back(MsSince(start));
  }
  std::printf("  safety scan of the file  %7.2f ms (median of 7)\n", Median(scans));
  std::printf("  open (scan + migemo_open) %7.2f ms (median of 7, min %.2f)\n", Median(opens),
              *std::min_element(opens.begin(), opens.end()));
  double load = Median(background);
  std::printf("  background load           %7.2f ms = %3.0f%% of the 160 ms budget (2 keys x 80 ms) -> %s\n", load,
              load * 100 / 160, load < 160 ? "ready before the third key" : "the third key waits");
}

struct QueryCost {
  double queryMs = 0;
  double compileMs = 0;
  size_t answerBytes = 0;
};

QueryCost MeasureQuery(MigemoLoadThread& dictionary, const std::string& input) {
  SilentNotifier notifier;
  std::vector<double> queries, compiles;
  QueryCost cost;
  for (int i = 0; i < 9; ++i) {
    auto start = Clock::now();
    auto answer = dictionary.Query(input, nullptr);
    queries.push_back(MsSince(start));
    if (!answer) return cost;
    cost.answerBytes = answer->size();
    PatternBuilder builder(dictionary, notifier);
    InputState state;
    state.inputText = input;
    start = Clock::now();
    builder.CompilePattern(*answer, state, SearchOptions{});
    compiles.push_back(MsSince(start));
  }
  cost.queryMs = Median(queries);
  cost.compileMs = Median(compiles);
  return cost;
}

void QueryFigures(const std::string& path) {
  MigemoLoadThread dictionary(path);
  dictionary.LoadNow();
  std::printf("Query + compile (median of 9)\n  %-15s %10s %10s %8s\n", "input", "query ms", "compile ms", "answer");
  auto print = [](const std::string& input, const QueryCost& cost) {
    std::printf("  %-15s %10.3f %10.3f %8zu\n", input.c_str(), cost.queryMs, cost.compileMs, cost.answerBytes);
  };
  for (const char* input : {"Kaisya", "Tesuto", "Nihon", "KaisyanoKaigi"}) print(input, MeasureQuery(dictionary, input));
  // One-letter inputs (KanafyLength 1) are the expensive ones: the worst three.
  std::vector<std::pair<double, std::string>> letters;
  for (char c = 'A'; c <= 'Z'; ++c) {
    QueryCost cost = MeasureQuery(dictionary, std::string(1, c));
    letters.push_back({cost.queryMs + cost.compileMs, std::string(1, c)});
  }
  std::sort(letters.rbegin(), letters.rend());
  for (int i = 0; i < 3; ++i) print(letters[i].second, MeasureQuery(dictionary, letters[i].second));
}

void MatchFigures(const std::string& path) {
  std::vector<std::string> names = RealisticNames();
  MigemoLoadThread dictionary(path);
  SilentNotifier notifier;
  std::printf("Matching 10,000 names (ns per name, best of 5)\n");

  auto perName = [&](auto&& body) {
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
      auto start = Clock::now();
      int hits = body();
      double ns = MsSince(start) * 1e6 / names.size();
      best = std::min(best, ns);
      if (round == 0 && hits < 0) std::printf("?");
    }
    return best;
  };

  SearchPattern none;
  int literalHits = 0;
  double literal = perName([&] {
    literalHits = 0;
    for (const auto& name : names) literalHits += MatchItemName(name, false, "Re", none, nullptr);
    return literalHits;
  });
  std::printf("  %-32s %9.0f ns  (%d candidates)\n", "literal \"Re\"", literal, literalHits);

  for (const char* input : {"Kaisya", "Tesuto", "K"}) {
    for (bool partial : {false, true}) {
      PatternBuilder builder(dictionary, notifier);
      InputState state;
      state.inputText = input;
      SearchOptions options;
      options.kanafyLength = 1;
      options.isUsePartialMatch = partial;
      builder.BuildPattern(state, options);
      SearchPattern& pattern = builder.pattern();
      int hits = 0;
      std::string matched;
      double ns = perName([&] {
        hits = 0;
        for (const auto& name : names) hits += MatchItemName(name, true, input, pattern, &matched);
        return hits;
      });
      // The engine alone on the same pattern (no matcher for Migemo's answer), as before.
      SearchPattern engineAlone;
      engineAlone.Replace(Pattern(pattern.regex()));
      double engine = perName([&] {
        int n = 0;
        for (const auto& name : names) n += MatchItemName(name, true, input, engineAlone, &matched);
        return n;
      });
      // The same search without anchoring it at the first character, for comparison.
      double unanchored = perName([&] {
        int n = 0;
        boost::match_results<std::wstring::const_iterator> m;
        for (const auto& name : names) {
          std::wstring wide = platform::AnsiToWide(JisToSjis(SjisToJis(name)));
          if (boost::regex_search(wide.cbegin(), wide.cend(), m, pattern.regex()) && m[0].first == wide.cbegin()) ++n;
        }
        return n;
      });
      char label[64];
      std::snprintf(label, sizeof label, "%s \"%s\"", partial ? "partial" : "prefix", input);
      std::printf("  %-32s %9.0f ns  (%d candidates; the engine alone %.0f ns, unanchored %.0f ns)\n", label, ns, hits,
                  engine, unanchored);
    }
  }
  double fold = perName([&] {
    size_t total = 0;
    for (const auto& name : names) total += platform::AnsiToWide(JisToSjis(SjisToJis(name))).size();
    return static_cast<int>(total & 0x7FFFFFFF);
  });
  double foldOnly = perName([&] {
    size_t total = 0;
    for (const auto& name : names) total += JisToSjis(SjisToJis(name)).size();
    return static_cast<int>(total & 0x7FFFFFFF);
  });
  std::printf("  %-32s %9.0f ns  (fold alone %.0f ns)\n", "of which fold + widen", fold, foldOnly);
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : KANASIFT_BENCH_DICT;
  DictionaryFigures(path);
  QueryFigures(path);
  MatchFigures(path);
  return 0;
}
