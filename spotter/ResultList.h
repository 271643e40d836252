// The results in a virtual list view (LVS_OWNERDATA): the control asks only for the rows
// it shows, so a hundred thousand results cost nothing to show. Columns name, folder
// (below the root), size and date; a click on a header sorts by that column (a second
// click reverses); the part of each name that matched is drawn in bold and colour.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Win32Handles.h"
#include "spotter/FilterWorker.h"
#include "spotter/SpotterTexts.h"

class ResultList {
 public:
  // Takes over the list view control of the dialog.
  void Attach(HWND list, const SpotterTexts& texts);
  HWND window() const { return list_; }

  // Shows a result. A result of a new request starts at the top with its first row
  // selected; a growing or reordered result keeps the focused entry.
  void Show(std::shared_ptr<const FilterResult> result, bool newRequest);
  const std::shared_ptr<const FilterResult>& shown() const { return result_; }

  // The sort column's arrow in the header.
  void ShowSort(SortOrder sort);

  // Entries of the selected rows, in display order (the focused row's first when none).
  std::vector<std::uint32_t> SelectedEntries() const;
  std::vector<std::wstring> SelectedPaths() const;
  void SelectAll();
  // Screen point for a context menu asked from the keyboard: below the focused row.
  POINT FocusedRowPoint() const;

  // The window moved to a monitor of another DPI (the list has its new font already):
  // the columns keep their share of the width, the bold font follows.
  void DpiChanged(UINT from, UINT to);

  // WM_NOTIFY from the list: fills rows, draws names; true when handled.
  bool HandleNotify(NMHDR* header, LRESULT& result);

 private:
  // The bold font of the matched parts, from the list's font.
  void TakeFont();
  void WarmFonts(HFONT normal);
  void FillRow(NMLVDISPINFOW& info) const;
  LRESULT CustomDraw(NMLVCUSTOMDRAW& draw);
  void DrawName(NMLVCUSTOMDRAW& draw, int row);

  HWND list_ = nullptr;
  std::shared_ptr<const FilterResult> result_;
  UniqueGdiObject boldFont_;
};
