// The typed input and the key commands: characters with time stamps build the input and
// each accepted character runs a search step; key notifications end the input or carry
// out the Ctrl/Alt shortcuts. Runs on the UI thread only, fed by the InputQueue.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "input/InputHost.h"
#include "input/SearchService.h"
#include "search/SearchState.h"
#include "settings/AppSettings.h"
#include "tapline/TaplineTypes.h"
#include "view/ViewAccess.h"

// Which of the four key messages arrived.
enum class KeyModifiers { None, Ctrl, Alt, CtrlAlt };

class InputEngine {
 public:
  // Everything is borrowed and must outlive the engine. `settings` are the main frame's
  // copies; `treeViewClassList` is the NUL-separated tree-class list.
  InputEngine(InputHost& host, SearchService& search, ViewProvider& views,
              const AppSettings& settings, const std::array<Shortcut, SHORTCUT_COUNT>& shortcuts,
              const std::string& treeViewClassList);

  // A character typed in `view`, with the tick count the hook library gave it.
  void OnInputChar(ViewHandle view, std::uint8_t ch, std::uint32_t tick);
  // A key notification: a virtual key pressed in `view`, or with view 0 a command of a
  // second instance (1 use, 2 enable, 3 force-enable, 4 tray update).
  void OnKeyDown(KeyModifiers modifiers, std::uintptr_t wParam, ViewHandle view);
  // The regular-expression dialog's text: search forward from the current item.
  void OnSearchWithRegex(const std::string& text);
  // Selects every candidate and shows the tooltip.
  void SelectAllCandidates();
  // Partial matching was switched: search the current input anew.
  void OnPartialMatchToggled();

  const InputState& state() const { return state_; }
  InputState& state() { return state_; }
  SearchOptions searchOptions() const;

  // Internal steps, public for tests.
  void SetTargetView(ViewHandle view);
  bool AppendInputChar(std::uint8_t ch, std::uint32_t tick);
  bool HandleSpecialChar(std::uint8_t ch, bool wasReset);
  void DeleteLastInputChar();
  void ExpireInput();

 private:
  bool IsTargetTree();
  bool TargetHasCheckBoxes();
  // Index of the shortcut record that matches, or -1.
  int FindShortcut(std::uintptr_t key, bool ctrl, bool alt) const;
  // Carries out record `index`; returns whether the input stays alive.
  bool RunShortcut(int index, bool isTree);
  void StepCandidate(int step);

  InputHost& host_;
  SearchService& search_;
  ViewProvider& views_;
  const AppSettings& settings_;
  const std::array<Shortcut, SHORTCUT_COUNT>& shortcuts_;
  const std::string& treeViewClassList_;
  InputState state_;
};
