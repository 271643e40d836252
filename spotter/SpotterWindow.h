// Spotter's window: an edit field for romaji, a check box for partial matching, the
// folder's matching entries in a list and a status line. Every change of the input asks
// the running Kanasift for the expansion and filters the folder again. Up, Down, Page Up
// and Page Down in the edit field move in the list; Enter (or a double click) opens the
// selected entry with the shell; Ctrl+P (or Alt+P) toggles partial matching; F5 reads
// the folder again; Escape closes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "search/SearchState.h"
#include "spotter/FolderListing.h"
#include "spotter/NameFilter.h"
#include "spotter/QueryClient.h"

class SpotterWindow {
 public:
  SpotterWindow(std::wstring folder, SearchOptions options);
  ~SpotterWindow();
  SpotterWindow(const SpotterWindow&) = delete;
  SpotterWindow& operator=(const SpotterWindow&) = delete;

  // Creates and shows the window. False when it could not be created.
  bool Create(HINSTANCE instance, int showCommand);
  // Offers a message of the loop to the accelerators and the dialog manager; true when
  // it was handled there.
  bool PreTranslateMessage(MSG& msg);

  HWND window() const { return window_; }

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
  void RememberLayout();
  void Layout();

  void ReadFolder();
  void Refilter();
  void OpenSelected();
  void SetStatus(const std::wstring& text);
  std::wstring StatusText() const;
  std::wstring LoadText(UINT id) const;
  std::string InputText() const;

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HACCEL accelerators_ = nullptr;  // a resource: freed with the module
  std::wstring folder_;
  SearchOptions options_;
  QueryClient client_;
  KanasiftDictionary dictionary_;
  NameFilter filter_;
  std::vector<FolderEntry> entries_;
  bool folderReadable_ = true;
  DWORD folderError_ = 0;
  int matchCount_ = 0;
  RECT initialClient_{};
  std::vector<Anchor> anchors_;
};
