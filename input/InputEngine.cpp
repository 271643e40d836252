#include "input/InputEngine.h"

#include "platform/Platform.h"
#include "view/ViewOps.h"

namespace {
// The order in which shortcut records are tested; the first match wins. Records 5, 8
// and 10 (the sorts) are carried out by the hook library.
constexpr int kShortcutTestOrder[] = {kToggleEnableState, kToggleIsUsePartialMatch,
                                      kSelectAllCandidates, kToggleCheckbox,
                                      kSelectCheckedItems, kRegexSearch,
                                      kSetNisHeader, kBackSpace,
                                      kNextCandidate, kPrevCandidate};

const char* LastCharacter(const std::string& text) {
  const char* p = text.c_str();
  const char* last = nullptr;
  while (*p) {
    last = p;
    p = platform::CharNext(p);
  }
  return last;
}
}  // namespace

InputEngine::InputEngine(InputHost& host, SearchService& search, ViewProvider& views,
                         const AppSettings& settings,
                         const std::array<Shortcut, SHORTCUT_COUNT>& shortcuts,
                         const std::string& treeViewClassList)
    : host_(host),
      search_(search),
      views_(views),
      settings_(settings),
      shortcuts_(shortcuts),
      treeViewClassList_(treeViewClassList) {
  ExpireInput();
}

SearchOptions InputEngine::searchOptions() const {
  return {settings_.kanafyLength, settings_.isUsePartialMatch};
}

void InputEngine::OnInputChar(ViewHandle view, std::uint8_t ch, std::uint32_t tick) {
  SetTargetView(view);
  if (!AppendInputChar(ch, tick)) return;
  SearchOptions options = searchOptions();
  search_.BuildPattern(state_, options);
  ItemRect itemRect;
  std::string matchedText;
  search_.SearchAndSelect(state_, options, 0, itemRect, false, &matchedText, false);
  host_.ShowInputTooltip(itemRect, &matchedText);
}

void InputEngine::SetTargetView(ViewHandle view) {
  state_.targetView = view;
  if (view != state_.previousTargetView) {
    state_.isMatching = true;
    host_.UpdateTrayIcon();
  }
  state_.previousTargetView = view;
}

bool InputEngine::AppendInputChar(std::uint8_t ch, std::uint32_t tick) {
  auto elapsed = static_cast<std::int32_t>(tick - state_.lastInputTick);
  bool runOut = state_.inputEnded || elapsed > settings_.permissibleInputInterval;
  state_.inputEnded = false;
  if (runOut) {
    ++state_.inputSerial;
    state_.inputText.clear();
    host_.EnsureDictionaryLoading();
    state_.isMatching = true;
  }
  state_.lastInputTick = tick;
  if (HandleSpecialChar(ch, runOut)) return false;
  if (!state_.isMatching) return true;

  // A letter after a non-letter begins a new segment in upper case. A byte that follows
  // a lone lead byte is that character's trail byte, never a letter of its own.
  if (platform::IsCharAlpha(ch) && platform::IsCharLower(ch)) {
    const char* last = LastCharacter(state_.inputText);
    const bool isTrailByte = last && platform::IsLeadByte(static_cast<unsigned char>(*last)) && last[1] == '\0';
    if (!isTrailByte && (!last || !platform::IsCharAlpha(static_cast<unsigned char>(*last)))) {
      ch = static_cast<std::uint8_t>(ch - 0x20);
    }
  }
  state_.inputText.push_back(static_cast<char>(ch));
  return true;
}

bool InputEngine::HandleSpecialChar(std::uint8_t ch, bool wasReset) {
  if (ch != ' ' && ch != '*' && ch != '+' && ch != '-') return false;
  bool empty = wasReset || state_.inputText.empty();
  if (IsTargetTree()) {
    if (!empty || ch == ' ') return false;
    host_.InjectKey(ch == '*' ? kVkMultiply : ch == '+' ? kVkAdd : kVkSubtract);
    return true;
  }
  if (ch != ' ') return false;
  if (TargetHasCheckBoxes()) {
    if (!empty && !settings_.isCheckBySpace) return false;
    if (auto list = views_.OpenList(state_.targetView)) ToggleSelectedChecks(*list);
    return true;
  }
  if (!empty) return false;
  host_.InjectKey(kVkSpace);
  return true;
}

void InputEngine::DeleteLastInputChar() {
  if (state_.inputText.empty()) return;
  std::uint32_t tick = host_.TickCount();
  state_.isMatching = true;
  host_.EnsureDictionaryLoading();
  state_.lastInputTick = tick;
  state_.inputEnded = false;
  // Remove the last character, both bytes of a double-byte one: half a character would
  // leave a lone lead byte that turns the rest of the pattern into garbage.
  const char* last = LastCharacter(state_.inputText);
  state_.inputText.erase(static_cast<std::size_t>(last - state_.inputText.c_str()));
}

void InputEngine::ExpireInput() {
  // Minus the interval, in the tick count's own unsigned arithmetic (the setting may be
  // any 32-bit value, -2147483648 included, whose negation would overflow).
  state_.lastInputTick = 0u - static_cast<std::uint32_t>(settings_.permissibleInputInterval);
  state_.inputEnded = true;
}

bool InputEngine::IsTargetTree() {
  return IsTreeView(views_, state_.targetView, treeViewClassList_.c_str());
}

bool InputEngine::TargetHasCheckBoxes() {
  auto list = views_.OpenList(state_.targetView);
  return list && HasCheckBoxes(*list);
}

int InputEngine::FindShortcut(std::uintptr_t key, bool ctrl, bool alt) const {
  for (int index : kShortcutTestOrder) {
    // The hook's own rule: a key it took for a command always finds that command here.
    if (ShortcutMatches(shortcuts_[static_cast<std::size_t>(index)], key, ctrl, alt)) return index;
  }
  return -1;
}

void InputEngine::OnKeyDown(KeyModifiers modifiers, std::uintptr_t wParam, ViewHandle view) {
  if (view == 0) {
    switch (wParam) {
      case 1: host_.ToggleIsUse(); break;
      case 2: host_.ToggleIsEnable(); break;
      case 3: host_.ToggleIsForceEnable(); break;
      case 4: host_.UpdateTrayIcon(); break;
      default: break;
    }
    return;
  }

  SetTargetView(view);
  bool isTree = IsTargetTree();
  bool ctrl = modifiers == KeyModifiers::Ctrl || modifiers == KeyModifiers::CtrlAlt;
  bool alt = modifiers == KeyModifiers::Alt || modifiers == KeyModifiers::CtrlAlt;
  bool keepInput = false;

  if (!ctrl && !alt) {
    host_.UpdateTrayIcon();
    if (wParam == kVkBack || wParam == kVkReturn || wParam == kVkEscape) {
      host_.HideInputTooltip();
    } else {
      keepInput = true;
    }
  } else {
    int index = FindShortcut(wParam, ctrl, alt);
    if (index < 0) return;
    keepInput = RunShortcut(index, isTree);
  }

  host_.RestartDictReleaseTimer();
  if (!keepInput) ExpireInput();
}

bool InputEngine::RunShortcut(int index, bool isTree) {
  switch (index) {
    case kToggleEnableState:
      host_.ToggleIsEnable();
      return false;
    case kToggleIsUsePartialMatch:
      host_.ToggleIsUsePartialMatch();
      return false;
    case kNextCandidate:
      StepCandidate(host_.IsShiftDown() ? -1 : +1);
      return false;
    case kPrevCandidate:
      StepCandidate(host_.IsShiftDown() ? +1 : -1);
      return false;
    case kSelectAllCandidates:
      SelectAllCandidates();
      return false;
    case kToggleCheckbox:
      if (isTree) {
        host_.Beep();
      } else if (auto list = views_.OpenList(state_.targetView)) {
        ToggleCheckBoxes(*list);
      }
      return false;
    case kSelectCheckedItems:
      if (isTree) {
        host_.Beep();
      } else if (auto list = views_.OpenList(state_.targetView)) {
        SelectCheckedItems(*list, host_);
      }
      return false;
    case kRegexSearch:
      host_.ShowRegexDialog();
      return false;
    case kSetNisHeader:
      host_.ShowNisHeaderDialog();
      return false;
    case kBackSpace: {
      DeleteLastInputChar();
      SearchOptions options = searchOptions();
      search_.BuildPattern(state_, options);
      ItemRect itemRect;
      std::string matchedText;
      search_.SearchAndSelect(state_, options, -1, itemRect, false, &matchedText,
                              !state_.lastSearchFound);
      host_.ShowInputTooltip(itemRect, &matchedText);
      return true;
    }
    default:
      return false;
  }
}

void InputEngine::StepCandidate(int step) {
  ItemRect itemRect;
  std::string matchedText;
  search_.SearchAndSelect(state_, searchOptions(), step, itemRect, false, &matchedText, false);
  host_.ShowInputTooltip(itemRect, &matchedText);
}

void InputEngine::SelectAllCandidates() {
  ItemRect itemRect;
  search_.SearchAndSelect(state_, searchOptions(), 0, itemRect, true, nullptr, false);
  host_.ShowInputTooltip(itemRect, nullptr);
}

void InputEngine::OnSearchWithRegex(const std::string& text) {
  SearchOptions options = searchOptions();
  search_.SetRegexInput(text, state_, options);
  ItemRect itemRect;
  std::string matchedText;
  search_.SearchAndSelect(state_, options, +1, itemRect, false, &matchedText, false);
  host_.ShowInputTooltip(itemRect, &matchedText);
}

void InputEngine::OnPartialMatchToggled() {
  state_.isMatching = true;
  search_.BuildPattern(state_, searchOptions());
}
