// A host that records what the input logic asks of the world, and a search whose
// results a test scripts, so the input logic's decisions can be checked one by one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/InputHost.h"
#include "input/SearchService.h"

struct RecordingHost : InputHost {
  std::vector<std::string> calls;  // one entry per call, in order
  std::uint32_t now = 100000;
  bool shiftDown = false;
  std::vector<std::uint8_t> injectedKeys;
  int beeps = 0;
  int dictionaryLoads = 0;
  int timerRestarts = 0;
  int trayUpdates = 0;
  std::vector<std::string> tooltips;  // "text|matched" of each ShowInputTooltip
  std::vector<ItemRect> tooltipRects;
  int partialToggles = 0;

  std::uint32_t TickCount() override { return now; }
  bool IsShiftDown() override { return shiftDown; }
  void InjectKey(std::uint8_t vk) override {
    injectedKeys.push_back(vk);
    calls.push_back("inject " + std::to_string(vk));
  }
  void Beep() override {
    ++beeps;
    calls.push_back("beep");
  }
  void ShowMessage(ViewHandle, const std::string& text, const std::string&, unsigned) override {
    calls.push_back("message " + text);
  }
  void EnsureDictionaryLoading() override {
    ++dictionaryLoads;
    calls.push_back("load");
  }
  void RestartDictReleaseTimer() override {
    ++timerRestarts;
    calls.push_back("timer");
  }
  void UpdateTrayIcon() override {
    ++trayUpdates;
    calls.push_back("tray");
  }
  void ToggleIsUse() override { calls.push_back("toggle use"); }
  void ToggleIsEnable() override { calls.push_back("toggle enable"); }
  void ToggleIsForceEnable() override { calls.push_back("toggle force"); }
  void ToggleIsUsePartialMatch() override {
    ++partialToggles;
    calls.push_back("toggle partial");
  }
  void ShowInputTooltip(const ItemRect& rect, const std::string* matched) override {
    tooltips.push_back(matched ? "matched:" + *matched : "matched:null");
    tooltipRects.push_back(rect);
    calls.push_back("tooltip");
  }
  void HideInputTooltip() override { calls.push_back("hide"); }
  void ShowRegexDialog() override { calls.push_back("regex dialog"); }
  void ShowNisHeaderDialog() override { calls.push_back("nis dialog"); }

  bool Called(const std::string& what) const;
  int Count(const std::string& what) const;
};

struct SearchCall {
  std::string inputText;
  int step;
  bool selectAll;
  bool wantsMatched;
  bool includeCurrent;
};

struct ScriptedSearch : SearchService {
  std::vector<std::string> builds;  // inputText at each BuildPattern
  std::vector<SearchCall> searches;
  std::vector<std::string> regexInputs;
  bool found = true;  // the result every step reports
  ItemRect foundRect{10, 20, 110, 36};
  std::string matched = "kai";

  void BuildPattern(InputState& state, const SearchOptions&) override {
    builds.push_back(state.inputText);
  }
  void SetRegexInput(const std::string& regex, InputState& state, const SearchOptions&) override {
    regexInputs.push_back(regex);
    state.inputText = "Regex(" + regex + ")";
    state.lastInputTick = 0;
    state.inputEnded = true;
    state.isMatching = true;
  }
  void SearchAndSelect(InputState& state, const SearchOptions&, int step, ItemRect& rect,
                       bool selectAll, std::string* matchedText, bool includeCurrent) override {
    searches.push_back({state.inputText, step, selectAll, matchedText != nullptr, includeCurrent});
    if (!state.isMatching) return;
    state.lastSearchFound = found;
    if (found) {
      rect = foundRect;
      if (matchedText) *matchedText = matched;
    }
  }
};
