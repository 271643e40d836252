// The shell view reader against a real shell view of real files: viewhost --shell shows
// a folder under the Wine prefix with N files (IExplorerBrowser, Wine's own shell view),
// the hook library is loaded into it as a key would load it, and the pane's class is
// named among the shell view classes. Printed per N, in one run on the same folder:
//   cold  - the first whole read through the shell (every display name read by the
//           shell, 100-160 us each under Wine), with the pauses that keep the view's
//           thread free;
//   warm  - keystroke to selection through the shell view reader: the last "a" of
//           "kaisya" arrives, the pattern is built with the dictionary, the step reads
//           the kept names and selects the candidate; keys come 60 ms apart, so the view
//           has painted the previous selection. Apart: the keys served from the kept
//           IDs (the keys of a word), those that took every item's ID anew (the
//           first key after a pause of 2 s), and those after a pause of 2 s in which
//           the IDs were kept warm in the background, as the program does;
//   batch - the same keystroke through the batch reader (the list messages inside the
//           view's process) on the same pane.
// The only candidate, 会社案内.txt, is placed last in the view's order.
// Then, on a fresh view of the same folder each time (nothing kept by the library): the
// first key "d" (its first candidate, data_00000.txt, comes after the archive_ and
// backup_ names, a quarter of the folder), a pause, and "kaisya" (every name up to the
// last): once as before, once with the names the first step left unread read on
// in the background during the pause, as the program does.
//
//   scripts/wine-env.sh run <build-dir> <build-dir>/bench/shell/bench_shell.exe [sizes...]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/common/BenchClock.h"
#include "bench/common/BenchSetup.h"
#include "bench/common/BenchSteps.h"
#include "search/MigemoLoadThread.h"
#include "tapline/Tapline.h"
#include "tapline/TaplineViewReads.h"
#include "tests/wine/batch/BatchTestSupport.h"
#include "view/RemoteViews.h"

namespace {

using bench::Median;
using bench::Minimum;
using bench::NowMs;
using bench::Silent;

// A folder of `count` empty files; the one candidate sorts last ("龠" after the other
// names' first characters in the shell's order would not be certain: the stems below
// all sort before "会").
class Folder {
 public:
  explicit Folder(int count) : count_(count) {
    wchar_t name[96];
    wsprintfW(name, L"C:\\users\\Public\\kanasift-bench-shell-%lu-%d", GetCurrentProcessId(), count);
    path_ = name;
    CreateDirectoryW(path_.c_str(), nullptr);
    static const wchar_t* const kStems[] = {L"data", L"report", L"image", L"backup", L"memo", L"notes", L"draft",
                                            L"archive"};
    for (int i = 0; i + 1 < count; ++i) {
      wchar_t file[64];
      wsprintfW(file, L"%ls_%05d.txt", kStems[i % 8], i);
      Create(file);
    }
    Create(L"会社案内.txt");
  }
  ~Folder() {
    for (const auto& file : files_) DeleteFileW((path_ + L"\\" + file).c_str());
    RemoveDirectoryW(path_.c_str());
  }
  std::string Path() const {
    char text[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_UTF8, 0, path_.c_str(), -1, text, sizeof(text), nullptr, nullptr);
    return text;
  }

 private:
  void Create(const std::wstring& file) {
    HANDLE h = CreateFileW((path_ + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    files_.push_back(file);
  }
  int count_;
  std::wstring path_;
  std::vector<std::wstring> files_;
};

struct Keystrokes {
  std::vector<double> ms;       // every key (the batch reader), or those from the kept IDs
  std::vector<double> renewed;  // shell: the keys that took every ID anew
  std::vector<double> warmed;   // shell: keys after a pause in which the IDs were kept warm
  int found = -1;
};

// A pause of `ms` in which the program's timers keep the shell view's IDs warm.
void PauseKeepingWarm(BatchViewProvider& shell, DWORD ms) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(10)) {
    if (shell.ReadingOn()) {
      shell.ContinueReadingOn();
    } else if (shell.KeepWarmDelay() == 1) {
      shell.KeepWarm();
    }
  }
}

// Types the last "a" of "kaisya" `rounds` times: pattern and search step, as the program
// handles a character. With the shell reader, every fourth key comes after a pause
// longer than the library trusts the IDs it took, every other such pause keeping the
// IDs warm as the program does; the kinds are apart.
Keystrokes Type(const char* label, ViewProvider& views, Dictionary& dictionary, HWND pane, int rounds,
                BatchViewProvider* shell = nullptr) {
  bench::StepRig rig(views, dictionary, pane);
  Keystrokes out;
  for (int round = 0; round < rounds; ++round) {
    // Keys come 100 ms and more apart: the view has painted the last selection (which
    // in Wine's shell view asks the shell for every visible name) before the next key.
    const bool paused = shell && round % 4 == 0;
    const bool warm = paused && round % 8 == 4;
    if (warm) {
      PauseKeepingWarm(*shell, 2100);
    } else {
      Sleep(paused ? 2100 : 60);
    }
    DWORD_PTR idle = 0;
    SendMessageTimeoutA(pane, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &idle);
    StepOutcome outcome = StepOutcome::Found;
    const unsigned trusted = shell ? shell->Counters().idsTrusted : 0;
    const double ms = bench::TypeLastA(rig, outcome);
    const bool fromKept = shell && shell->Counters().idsTrusted != trusted;
    (!shell ? out.ms : !fromKept ? out.renewed : warm ? out.warmed : out.ms).push_back(ms);
    if (outcome != StepOutcome::Found) std::printf("    (%s, round %d: not found, outcome %d)\n", label, round, static_cast<int>(outcome));
  }
  out.found = bench::FirstSelectedItem(pane);
  return out;
}

std::unique_ptr<BatchViewProvider> ShellReader() {
  auto views = std::make_unique<BatchViewProvider>(std::make_unique<TaplineViewReads>());
  views->SetShellViewClasses(std::string("SysListView32\0", 15), std::string("\0", 2));
  return views;
}

void Measure(int size, Dictionary& dictionary) {
  const double made = NowMs();
  Folder folder(size);
  const double madeMs = NowMs() - made;
  ViewhostProcess host;
  const double started = NowMs();
  if (!host.Start({"--shell", folder.Path()}, ViewhostPath(), 600000)) {
    std::printf("  viewhost did not start: %s\n", host.Error().c_str());
    return;
  }
  const double startMs = NowMs() - started;
  if (!LoadHookLibraryInto(host)) {
    std::printf("  the hook library did not come into viewhost\n");
    return;
  }
  const int count = OpenRemoteList(host.List())->ItemCount();

  // Cold: the first read of every display name (the library keeps them afterwards). On a
  // slow machine it can take more of the view's thread than the library gives reads at
  // once; it is then refused until that share has grown back, and asked again: the names
  // read so far are kept, so only the time spent reading is counted.
  ViewSnapshot snapshot;
  std::uint32_t needed = 0;
  double coldMs = 0;
  int coldRequests = 0;
  ReadOutcome cold = ReadOutcome::Refused;
  while (cold != ReadOutcome::Read && coldRequests < 30) {
    if (coldRequests++ > 0) Sleep(2000);
    const double c0 = NowMs();
    cold = ReadWholeView(host.List(), viewread::ReadKind::Shell, Tapline::viewReadKey(), 4u << 20, snapshot, needed);
    coldMs += NowMs() - c0;
  }
  // Warm reads once the share allows a few seconds of reading again.
  Sleep(coldRequests > 1 ? 4000 : 0);
  // Every other one after a pause longer than the library trusts the IDs it took.
  std::vector<double> warmReads;
  std::vector<double> trustedReads;
  int warmRefused = 0;
  for (int i = 0; i < 10; ++i) {
    if (i % 2 == 0) Sleep(2100);
    const double t0 = NowMs();
    ViewSnapshot warm;
    if (ReadWholeView(host.List(), viewread::ReadKind::Shell, Tapline::viewReadKey(), 4u << 20, warm, needed) !=
        ReadOutcome::Read) {
      ++warmRefused;
      continue;
    }
    ((warm.shellFlags & viewread::kShellIdsTrusted) ? trustedReads : warmReads).push_back(NowMs() - t0);
  }

  auto shell = ShellReader();
  BatchViewProvider batch(std::make_unique<TaplineViewReads>());
  const int rounds = 24;
  Type("shell, warming", *shell, dictionary, host.List(), 2);
  Type("batch, warming", batch, dictionary, host.List(), 2);
  Keystrokes s = Type("shell", *shell, dictionary, host.List(), rounds, shell.get());
  Keystrokes b = Type("batch", batch, dictionary, host.List(), 8);  // seconds a key at 10,000

  std::printf("  N=%-6d (%d in the pane; files made in %.1f s, viewhost up in %.1f s)\n", size, count, madeMs / 1000,
              startMs / 1000);
  std::printf("        cold read through the shell %9.1f ms (%s in %d request(s), %.1f us per name)\n", coldMs,
              cold == ReadOutcome::Read ? "complete" : "FAILED", coldRequests, count ? coldMs * 1000 / count : 0.0);
  std::printf("        warm read alone: kept IDs %.2f ms (min %.2f, %zu reads) | every ID taken %.2f ms (min %.2f, %zu"
              " reads) | %d of 10 refused\n",
              Median(trustedReads), Minimum(trustedReads), trustedReads.size(), Median(warmReads), Minimum(warmReads),
              warmReads.size(), warmRefused);
  std::printf("        keystroke to selection: shell view reader, kept IDs %7.2f ms (min %6.2f, %zu keys), every ID"
              " taken %7.2f ms (min %6.2f, %zu keys) | batch reader %7.2f ms (min %6.2f) | %.2fx | found %d/%d\n",
              Median(s.ms), Minimum(s.ms), s.ms.size(), Median(s.renewed), Minimum(s.renewed), s.renewed.size(),
              Median(b.ms), Minimum(b.ms), Median(b.ms) > 0 ? Median(s.ms) / Median(b.ms) : 0, s.found, b.found);
  std::printf("        after a pause of 2.1 s: kept warm %7.2f ms (min %6.2f, %zu of %d keys); %u reads kept it warm\n",
              Median(s.warmed), Minimum(s.warmed), s.warmed.size(), rounds / 8, shell->Counters().keptWarm);
  std::printf("        shell requests %u, answers %u, lost %u; answer %zu bytes\n", shell->Counters().requests,
              shell->Counters().answers, shell->Counters().lost, snapshot.answerBytes);
}

void MeasureReadingOn(int size, Dictionary& dictionary) {
  Folder folder(size);
  for (bool readOn : {false, true}) {
    ViewhostProcess host;
    if (!host.Start({"--shell", folder.Path()}, ViewhostPath(), 600000) || !LoadHookLibraryInto(host)) {
      std::printf("  viewhost did not start with the library\n");
      return;
    }
    auto shell = ShellReader();
    bench::StepRig rig(*shell, dictionary, host.List());
    const double first = bench::StepMs(rig, "d");
    const double pause = NowMs();
    while (readOn && shell->ContinueReadingOn() && NowMs() - pause < 30000) Sleep(BatchViewProvider::kReadOnTickMs);
    const double readOnMs = NowMs() - pause;
    Sleep(readOn ? 100 : static_cast<DWORD>(readOnMs) + 100);
    const unsigned before = shell->Counters().shellNamesRead;
    const double whole = bench::StepMs(rig, "kaisya");
    std::printf("  N=%-6d %s: first key %7.1f ms (%u names read); %s; \"kaisya\" to the last item %8.1f ms (%u names read)\n",
                size, readOn ? "reading on" : "as before ", first, before,
                readOn ? ("read on in " + std::to_string(static_cast<int>(readOnMs)) + " ms").c_str() : "nothing read on",
                whole, shell->Counters().shellNamesRead - before);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000};

  std::printf("Shell view reader on real files (viewhost --shell), %d-bit\n", static_cast<int>(sizeof(void*) * 8));
  bench::HookAndDictionary setup(KANASIFT_BENCH_DICT);
  if (!setup.Start()) return 1;
  if (!Tapline::setShellViewClasses("SysListView32")) {
    std::printf("the shell view classes could not be set\n");
    return 1;
  }
  for (int size : sizes) Measure(size, setup.dictionary());
  std::printf("Names a step left unread, read on in the background (fresh views of a folder of 2,000 files)\n");
  MeasureReadingOn(2000, setup.dictionary());
  return 0;
}
