#include "Soak.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tools/kanasiftprobe/KanasiftWindows.h"
#include "ProcessUsage.h"
#include "platform/OwnObjects.h"
#include "platform/Win32Handles.h"
#include "tapline/CharQueue.h"
#include "tapline/SharedLayout.h"
#include "tapline/TaplineTypes.h"
#include "view/RemoteViews.h"

namespace reliability {

using namespace probe;

namespace {

// A word of one view: typing it selects the decoy while it is a proper prefix, and the
// target only when every character arrived in order.
struct Word {
  std::string text;
  int target = -1;
};

struct ViewWords {
  HWND view = nullptr;
  std::vector<Word> words;
};

// Items come in pairs (decoy, target) whose names share a prefix; the word is that prefix
// and the target's next character.
bool ReadWords(HWND view, ViewWords& out) {
  out.view = view;
  auto list = OpenRemoteList(view);
  int count = list->ItemCount();
  if (count < 2 || !list->OpenRecord()) return false;
  std::vector<std::string> names(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (!list->ItemText(i, names[static_cast<std::size_t>(i)])) return false;
  }
  for (int i = 0; i + 1 < count; i += 2) {
    const std::string& decoy = names[static_cast<std::size_t>(i)];
    const std::string& target = names[static_cast<std::size_t>(i + 1)];
    std::size_t common = 0;
    while (common < decoy.size() && common < target.size() && decoy[common] == target[common]) ++common;
    if (common < 3 || common >= target.size()) return false;
    out.words.push_back({target.substr(0, common + 1), i + 1});
  }
  return !out.words.empty();
}

// The input the engine builds from a word of lower-case letters: the first one capitalised.
std::string ExpectedInput(const std::string& word) {
  std::string input = word;
  if (!input.empty() && input[0] >= 'a' && input[0] <= 'z') input[0] = static_cast<char>(input[0] - 0x20);
  return input;
}

class Feeder {
 public:
  bool Open() {
    char name[128];
    if (!ownobj::LevelQualifiedName(tapline::SharedBlockName(), name, sizeof(name))) return false;
    mapping_.Reset(OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name));
    if (!mapping_) return false;
    view_.Reset(MapViewOfFile(mapping_.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0));
    if (!view_) return false;
    MEMORY_BASIC_INFORMATION info{};
    SIZE_T size = VirtualQuery(view_.Get(), &info, sizeof(info)) ? info.RegionSize : 0;
    if (!tapline::IsUsableBlock(view_.Get(), size)) return false;
    block_ = static_cast<tapline::SharedBlock*>(view_.Get());
    event_.Reset(OpenEventA(EVENT_MODIFY_STATE, FALSE, KANASIFT_INPUT_EVENT));
    for (int i = 0; i < 4; ++i) {
      static const char* const kNames[4] = {KANASIFT_MSG_KEYDOWN, KANASIFT_MSG_KEYDOWN_CTRL,
                                            KANASIFT_MSG_KEYDOWN_ALT, KANASIFT_MSG_KEYDOWN_CTRL_ALT};
      keyMessages_[i] = RegisterWindowMessageA(kNames[i]);
    }
    return event_.Get() != nullptr;
  }

  // Queues one character as the hook does (tick count of now), then sets the event. A
  // full queue is waited out: the soak wants every character in.
  void Type(HWND view, char ch) {
    tapline::Keystroke keystroke{};
    keystroke.view = reinterpret_cast<std::uintptr_t>(view);
    keystroke.length = 1;
    keystroke.bytes[0] = static_cast<std::uint8_t>(ch);
    for (;;) {
      keystroke.tick = GetTickCount();
      if (tapline::PushKeystroke(block_->queue, keystroke) == tapline::PushResult::Queued) break;
      ++fullWaits;
      SetEvent(event_.Get());
      Sleep(1);
    }
    SetEvent(event_.Get());
    ++typed;
  }

  // Posts a key notification (0 plain, 1 Ctrl) as the hook does. The next character is
  // typed a few milliseconds later, as a person would: the order of a key and a character
  // is known only from their times, and Wine stamps a posted message up to a millisecond
  // ahead of the GetTickCount the hook gives characters.
  void Key(HWND mainWindow, int modifiers, WPARAM virtualKey, HWND view) {
    PostMessageA(mainWindow, keyMessages_[modifiers], virtualKey, reinterpret_cast<LPARAM>(view));
    ++keys;
    DWORD posted = GetTickCount();
    while (GetTickCount() - posted < 3) Sleep(0);
  }

  int typed = 0;
  int keys = 0;
  int fullWaits = 0;

 private:
  UniqueKernelHandle mapping_;
  UniqueMappedView view_;
  tapline::SharedBlock* block_ = nullptr;
  UniqueKernelHandle event_;
  UINT keyMessages_[4] = {};
};

int SelectedItem(HWND view, int& selectedCount) {
  DWORD_PTR count = 0, item = 0;
  SendMessageTimeoutA(view, LVM_GETSELECTEDCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count);
  SendMessageTimeoutA(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, SMTO_ABORTIFHUNG, 5000, &item);
  selectedCount = static_cast<int>(count);
  return static_cast<int>(static_cast<LRESULT>(item));
}

// The input part of the tooltip's text ("input : matched").
std::string InputOfTooltip(const std::wstring& text) {
  std::string utf8 = Utf8(text);
  return utf8.substr(0, utf8.find(" : "));
}

// Waits until the word has arrived: the target is selected (only the whole word selects
// it) and the tooltip shows the word as its input. Polled gently: every poll costs
// Kanasift's UI thread a message and the wineserver a few requests.
bool WaitForWord(HWND view, int target, HWND tooltip, const std::string& expected, DWORD timeoutMs,
                 std::string& last) {
  DWORD start = GetTickCount();
  int selectedCount = 0;
  while (SelectedItem(view, selectedCount) != target) {
    if (GetTickCount() - start > timeoutMs) break;
    Sleep(4);
  }
  std::wstring text;
  for (;;) {
    if (TooltipText(tooltip, text)) {
      last = InputOfTooltip(text);
      if (last == expected) return true;
    }
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(10);
  }
}

constexpr WPARAM kVkBack = 0x08, kVkReturn = 0x0D, kVkEscape = 0x1B;

}  // namespace

bool TypeInto(HWND view, const std::string& text) {
  Feeder feeder;
  if (!feeder.Open()) return false;
  for (char c : text) feeder.Type(view, c);
  return true;
}

int RunSoak(const SoakOptions& options) {
  HWND mainWindow = MainWindow();
  HWND tooltip = InputTooltip(mainWindow);
  DWORD pid = ProcessOf(mainWindow);
  if (!mainWindow || !tooltip) {
    std::printf("soak: no running Kanasift with a tooltip\n");
    return 2;
  }
  ViewWords views[2];
  for (int v = 0; v < 2; ++v) {
    if (!ReadWords(options.views[v], views[v])) {
      std::printf("soak: view %d does not hold decoy/target pairs\n", v);
      return 2;
    }
  }
  Feeder feeder;
  if (!feeder.Open()) {
    std::printf("soak: the hook library's shared block or input event is missing\n");
    return 2;
  }

  std::mt19937 random(options.seed);
  int words = 0, failures = 0, lostWords = 0, reloads = 0;
  int lastWord[2] = {-1, -1};
  ProcessUsage warm, end;
  bool warmTaken = false;
  const int warmAfter = options.chars / 10;
  DWORD started = GetTickCount();
  // Keys spread over the words in proportion to their length.
  auto keysDue = [&](std::size_t length) {
    long long charsLeft = std::max(1, options.chars - feeder.typed);
    long long keysLeft = options.keys - feeder.keys;
    if (keysLeft <= 0) return 1;
    return static_cast<int>(std::max(1LL, (keysLeft * static_cast<long long>(length) + charsLeft - 1) / charsLeft));
  };

  while (feeder.typed < options.chars) {
    int v = words % 2;
    ViewWords& view = views[v];
    int pick = static_cast<int>(random() % view.words.size());
    if (pick == lastWord[v]) pick = (pick + 1) % static_cast<int>(view.words.size());
    lastWord[v] = pick;
    const Word& word = view.words[static_cast<std::size_t>(pick)];
    const bool typing = static_cast<int>(random() % 100) < options.typingPercent;
    const int budget = keysDue(word.text.size());
    // A correction in the middle: Ctrl+H takes the last character back, and it is typed again.
    const int fixAt = budget >= 3 ? 2 + static_cast<int>(random() % (word.text.size() - 2)) : -1;

    for (std::size_t i = 0; i < word.text.size(); ++i) {
      if (typing) Sleep(static_cast<DWORD>(options.typingDelayMs));
      feeder.Type(view.view, word.text[i]);
      if (static_cast<int>(i) == fixAt) {
        feeder.Key(mainWindow, 1, 'H', view.view);
        feeder.Type(view.view, word.text[i]);
      }
    }
    if (!options.pipelined) Sleep(0);

    std::string expected = ExpectedInput(word.text), seen;
    DWORD wordStart = GetTickCount();
    bool arrived = WaitForWord(view.view, word.target, tooltip, expected, 20000, seen);
    if (words < 4) std::printf("word %d: %zu characters arrived in %lu ms\n", words, word.text.size(), GetTickCount() - wordStart);
    int selectedCount = 0;
    int selected = arrived ? SelectedItem(view.view, selectedCount) : -2;
    if (!arrived || selected != word.target || selectedCount != 1) {
      ++failures;
      if (!arrived) ++lostWords;
      if (failures <= 10) {
        std::printf("word %d view %d: typed \"%s\": tooltip input \"%s\", selected %d (%d items), expected %d\n",
                    words, v, word.text.c_str(), seen.c_str(), selected, selectedCount, word.target);
      }
    }

    // The word's end: a step key (the only candidate stays selected), then a plain key
    // that ends the input.
    static const WPARAM kSteps[3] = {'N', 'P', 'S'};
    if (budget >= 2) feeder.Key(mainWindow, 1, kSteps[words % 3], view.view);
    static const WPARAM kEnds[3] = {kVkEscape, kVkReturn, kVkBack};
    feeder.Key(mainWindow, 0, kEnds[words % 3], view.view);
    for (int extra = 3; extra < budget; ++extra) feeder.Key(mainWindow, 0, kVkEscape, view.view);
    ++words;
    if (!options.pipelined) {
      DWORD ignored = 0;
      Ping(mainWindow, 5000, ignored);
    }

    bool pause = options.reloadEvery > 0 && words % options.reloadEvery == 0;
    bool measureWarm = !warmTaken && feeder.typed >= warmAfter;
    if (pause || measureWarm) {
      // Idle longer than DictAliveTime: the dictionary is released; the next word loads it.
      Sleep(static_cast<DWORD>(options.reloadPauseMs));
      ++reloads;
      if (measureWarm) {
        warm = MeasureProcess(pid);
        warmTaken = true;
        std::printf("warm-up after %d characters: %s\n", feeder.typed, Describe(warm).c_str());
      }
    }
    if (words % 50 == 0) {
      std::printf("%d words, %d characters, %d keys, %lu s\n", words, feeder.typed, feeder.keys,
                  (GetTickCount() - started) / 1000);
      std::fflush(stdout);
    }
  }
  Sleep(static_cast<DWORD>(options.reloadPauseMs));
  end = MeasureProcess(pid);
  DWORD seconds = (GetTickCount() - started) / 1000;
  std::printf("end: %s\n", Describe(end).c_str());
  std::printf("soak: %d words, %d characters, %d key notifications, %d dictionary idle pauses, "
              "%d waits on a full queue, %lu s\n",
              words, feeder.typed, feeder.keys, reloads, feeder.fullWaits, seconds);

  bool ok = failures == 0;
  std::printf("%s every word accounted for (%d failed, %d never arrived)\n", ok ? "ok  " : "FAIL", failures,
              lostWords);
  std::uint32_t handleGrowth = end.handles > warm.handles ? end.handles - warm.handles : 0;
  bool handlesOk = warm.ok && end.ok && handleGrowth <= options.handleGrowthMax;
  std::printf("%s handles %u -> %u (growth bound %u)\n", handlesOk ? "ok  " : "FAIL", warm.handles, end.handles,
              options.handleGrowthMax);
  std::uint64_t memoryGrowth = end.committedPrivate > warm.committedPrivate ? end.committedPrivate - warm.committedPrivate : 0;
  bool memoryOk = warm.ok && end.ok && memoryGrowth <= options.memoryGrowthMax;
  std::printf("%s committed private memory %llu -> %llu KiB (growth bound %llu KiB)\n", memoryOk ? "ok  " : "FAIL",
              static_cast<unsigned long long>(warm.committedPrivate >> 10),
              static_cast<unsigned long long>(end.committedPrivate >> 10),
              static_cast<unsigned long long>(options.memoryGrowthMax >> 10));
  bool gdiKnown = warm.gdiObjects != 0 || end.gdiObjects != 0;
  bool gdiOk = !gdiKnown || end.gdiObjects <= warm.gdiObjects + 16;
  std::printf("%s GDI objects %u -> %u%s\n", gdiOk ? "ok  " : "FAIL", warm.gdiObjects, end.gdiObjects,
              gdiKnown ? " (growth bound 16)" : " (GetGuiResources answers 0 here: not measurable)");
  return ok && handlesOk && memoryOk && gdiOk ? 0 : 1;
}

}  // namespace reliability
