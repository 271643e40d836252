// Spotter's window: the romaji input, partial matching, the folder being searched (with
// a folder picker, drop a folder to search it, F5 reads it again), the results in a
// virtual list and two status lines (results and Kanasift's state; the listing).
//
// The UI thread never waits: the folder tree is listed by a FolderLister thread, and
// every change of the input goes to the FilterWorker thread, which asks Kanasift and
// filters; its results come back as a posted message, and only those of the latest
// request are shown.
//
// Keys: Up, Down, Page Up and Page Down in the input move in the list; Enter (or a
// double click) opens the selected results; Ctrl+Enter opens their folders with them
// selected; Ctrl+C copies their full paths; the context menu is the shell's own;
// Ctrl+P switches partial matching, Ctrl+H hidden files, Ctrl+O picks a folder, F5
// reads it again, Escape closes.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Win32Handles.h"
#include "search/SearchState.h"
#include "framework/DialogDpiLayout.h"
#include "spotter/FilterWorker.h"
#include "spotter/FolderLister.h"
#include "spotter/ResultList.h"
#include "spotter/ShellActions.h"
#include "spotter/SpotterTexts.h"

class SpotterWindow : public ResultSink {
 public:
  SpotterWindow(std::wstring folder, SearchOptions options, const SpotterTexts& texts);
  ~SpotterWindow() override;
  SpotterWindow(const SpotterWindow&) = delete;
  SpotterWindow& operator=(const SpotterWindow&) = delete;

  // Creates and shows the window. False when it could not be created.
  bool Create(HINSTANCE instance, int showCommand);
  // Offers a message of the loop to the accelerators and the dialog manager; true when
  // it was handled there.
  bool PreTranslateMessage(MSG& msg);

  // ResultSink: called on the filter thread.
  void Deliver(std::shared_ptr<const FilterResult> result) override;

 private:
  // One control that follows the window's size.
  struct Anchor {
    int id;
    RECT initial;   // in client coordinates of the initial size
    bool right;     // the right edge follows the window's right edge
    bool bottom;    // the bottom edge follows the window's bottom edge
    bool moveX;     // the whole control moves with the right edge
    bool moveY;     // the whole control moves with the bottom edge
  };

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK InputSubclassProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR data);
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
  void OnInitDialog();
  void OnCommand(int id, int code);
  bool OnNotify(NMHDR* header, LRESULT& result);
  void OnDestroy();
  void BuildMenu();
  void RememberLayout();
  void Layout();

  // The folder tree.
  void StartListing(const std::wstring& root);
  void OnListed();
  // The results.
  void RequestResults();
  void OnResults();
  void ShowResult(std::shared_ptr<const FilterResult> result, bool newRequest);
  void UpdateStatus(const FilterResult& result);
  void UpdateProgress();

  void OpenSelected();
  void OpenSelectedFolders();
  void CopySelected();
  void ShowContextMenu(POINT screen);
  void ChooseFolder();
  void OnDropFiles(HDROP drop);
  void SortBy(int column);
  void ToggleHidden();

  std::wstring InputText() const;
  void SetStatus(int id, const std::wstring& text);

  const SpotterTexts& texts_;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HACCEL accelerators_ = nullptr;  // a resource: freed with the module
  UniqueMenu menu_;
  std::wstring root_;
  SearchOptions options_;
  ShowOptions show_;
  SortOrder sort_;
  std::wstring notice_;  // a passing message in the status line (cleared by the next input)
  ResultList list_;
  ShellContextMenu contextMenu_;
  // The filter thread outlives the listing, whose thread tells it about new entries.
  std::unique_ptr<FilterWorker> worker_;
  std::unique_ptr<FolderLister> lister_;
  std::uint64_t requested_ = 0;  // the latest request's generation
  std::uint64_t displayedGeneration_ = 0;
  std::shared_ptr<const FilterResult> held_;  // a grown result waiting for its turn
  DWORD listShownAt_ = 0;                     // when the list last took a result
  std::mutex deliveredLock_;
  std::shared_ptr<const FilterResult> delivered_;  // the newest result not yet shown
  bool resultsPosted_ = false;
  RECT initialClient_{};
  std::vector<Anchor> anchors_;
  // The controls at the monitor's DPI: the anchors above are measured at anchorDpi_ and
  // scaled to the DPI the window shows at now.
  DialogDpiLayout dpiLayout_;
  UINT anchorDpi_ = 96;
};
