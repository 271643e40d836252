#include "spotter/ResultList.h"

#include <shlwapi.h>

#include <algorithm>

#include "framework/Dpi.h"

namespace {

enum Column { kName, kFolder, kSize, kModified, kColumnCount };

// The colour of the matched part on an unselected row.
constexpr COLORREF kMatchColour = RGB(0xC0, 0x28, 0x00);

void CopyText(const std::wstring& text, NMLVDISPINFOW& info) {
  if (!info.item.pszText || info.item.cchTextMax <= 0) return;
  const std::size_t room = static_cast<std::size_t>(info.item.cchTextMax) - 1;
  const std::size_t n = std::min(room, text.size());
  std::copy(text.c_str(), text.c_str() + n, info.item.pszText);
  info.item.pszText[n] = L'\0';
}

std::wstring SizeText(const Entry& entry) {
  if (entry.flags & kEntryFolder) return std::wstring();
  wchar_t buffer[64] = {};
  StrFormatKBSizeW(static_cast<LONGLONG>(entry.size), buffer, 64);
  return buffer;
}

std::wstring DateText(std::uint64_t modified) {
  FILETIME utc{static_cast<DWORD>(modified & 0xFFFFFFFFu), static_cast<DWORD>(modified >> 32)};
  FILETIME local{};
  SYSTEMTIME time{};
  if (modified == 0 || !FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) {
    return std::wstring();
  }
  wchar_t date[64] = {};
  wchar_t clock[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 64);
  GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, clock, 64);
  return std::wstring(date) + L" " + clock;
}

// The folder below the root, written "\sub\folder" ("\" for the root itself).
std::wstring FolderText(const EntryIndex& index, const Entry& entry) {
  return L"\\" + index.RelativeFolderPath(entry.folder);
}

}  // namespace

void ResultList::Attach(HWND list, const SpotterTexts& texts) {
  list_ = list;
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
  const struct {
    const wchar_t* title;
    int width;
    int format;
  } columns[kColumnCount] = {
      {texts.columnName, 250, LVCFMT_LEFT},
      {texts.columnFolder, 190, LVCFMT_LEFT},
      {texts.columnSize, 70, LVCFMT_RIGHT},
      {texts.columnModified, 120, LVCFMT_LEFT},
  };
  const UINT dpi = dpi::ForWindow(list_);  // the widths above are meant for 96 DPI
  for (int i = 0; i < kColumnCount; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(columns[i].title);
    column.cx = dpi::Scale(columns[i].width, dpi);
    column.fmt = columns[i].format;
    column.iSubItem = i;
    SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  TakeFont();
}

void ResultList::TakeFont() {
  LOGFONTW font{};
  const auto normal = reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0));
  if (GetObjectW(normal, sizeof(font), &font)) {
    font.lfWeight = FW_BOLD;
    boldFont_.Reset(CreateFontIndirectW(&font));
  }
  WarmFonts(normal);
}

void ResultList::DpiChanged(UINT from, UINT to) {
  if (!list_ || from == to || from == 0 || to == 0) return;
  for (int i = 0; i < kColumnCount; ++i) {
    ListView_SetColumnWidth(list_, i, dpi::Convert(ListView_GetColumnWidth(list_, i), from, to));
  }
  TakeFont();
  InvalidateRect(list_, nullptr, TRUE);
}

// Draws kana, kanji and letters once, off screen, in both fonts: the first use of a
// font loads it and its fallbacks (a few hundred milliseconds under Wine), and that
// should happen before the window is shown, not in its first paint.
void ResultList::WarmFonts(HFONT normal) {
  ScopedWindowDC screen(list_);
  HDC dc = CreateCompatibleDC(screen.Get());
  if (!dc) return;
  UniqueGdiObject bitmap(CreateCompatibleBitmap(screen.Get(), 64, 16));
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap.Get());
  HGDIOBJ oldFont = GetCurrentObject(dc, OBJ_FONT);
  for (HGDIOBJ font : {static_cast<HGDIOBJ>(normal), boldFont_.Get()}) {
    if (!font) continue;
    SelectObject(dc, font);
    RECT rect{0, 0, 64, 16};
    DrawTextW(dc, L"あア亜ｱＡa1", -1, &rect, DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteDC(dc);
}

void ResultList::Show(std::shared_ptr<const FilterResult> result, bool newRequest) {
  // The entry in focus, to find again in the new rows.
  std::uint32_t focusedEntry = kNoEntry;
  const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
  if (!newRequest && result_ && focused >= 0 && static_cast<std::size_t>(focused) < result_->rows.size() &&
      result->index == result_->index) {
    focusedEntry = result_->rows[static_cast<std::size_t>(focused)];
  }
  const bool sameOrder = !newRequest && result_ && result_->ordered == result->ordered && result->index == result_->index;
  result_ = std::move(result);
  const int count = static_cast<int>(result_->rows.size());
  ListView_SetItemCountEx(list_, count, sameOrder ? LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL : 0);
  if (sameOrder) {
    // Rows only came after the ones shown; the first of them is selected when none was.
    if (count > 0 && focused < 0 && ListView_GetNextItem(list_, -1, LVNI_SELECTED) < 0) {
      ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    InvalidateRect(list_, nullptr, FALSE);
    return;
  }
  int row = count > 0 ? 0 : -1;
  if (focusedEntry != kNoEntry) {
    auto found = std::find(result_->rows.begin(), result_->rows.end(), focusedEntry);
    if (found != result_->rows.end()) row = static_cast<int>(found - result_->rows.begin());
  }
  // Only the selected rows are cleared: clearing "every row" of a large virtual list
  // walks all of them in some list views (Wine's: 130 ms for 80,000 rows).
  std::vector<int> selected;
  for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0 && selected.size() < 256;
       i = ListView_GetNextItem(list_, i, LVNI_SELECTED)) {
    selected.push_back(i);
  }
  if (selected.size() >= 256) {
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
  } else {
    for (int i : selected) ListView_SetItemState(list_, i, 0, LVIS_SELECTED);
  }
  if (row >= 0) {
    ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, row, FALSE);
  }
  InvalidateRect(list_, nullptr, FALSE);
}

void ResultList::ShowSort(SortOrder sort) {
  HWND header = ListView_GetHeader(list_);
  for (int i = 0; i < kColumnCount; ++i) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    Header_GetItem(header, i, &item);
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (i == static_cast<int>(sort.column)) item.fmt |= sort.descending ? HDF_SORTDOWN : HDF_SORTUP;
    Header_SetItem(header, i, &item);
  }
}

std::vector<std::uint32_t> ResultList::SelectedEntries() const {
  std::vector<std::uint32_t> entries;
  if (!result_) return entries;
  const auto& rows = result_->rows;
  for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED); row >= 0;
       row = ListView_GetNextItem(list_, row, LVNI_SELECTED)) {
    if (static_cast<std::size_t>(row) < rows.size()) entries.push_back(rows[static_cast<std::size_t>(row)]);
  }
  if (entries.empty()) {
    const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
    if (focused >= 0 && static_cast<std::size_t>(focused) < rows.size()) entries.push_back(rows[static_cast<std::size_t>(focused)]);
  }
  return entries;
}

std::vector<std::wstring> ResultList::SelectedPaths() const {
  std::vector<std::wstring> paths;
  for (std::uint32_t entry : SelectedEntries()) paths.push_back(result_->index->FullPath(entry));
  return paths;
}

void ResultList::SelectAll() { ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED); }

POINT ResultList::FocusedRowPoint() const {
  RECT rect{};
  POINT point{};
  const int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
  if (focused >= 0 && ListView_GetItemRect(list_, focused, &rect, LVIR_LABEL)) {
    point = POINT{rect.left + 8, rect.bottom};
  }
  ClientToScreen(list_, &point);
  return point;
}

bool ResultList::HandleNotify(NMHDR* header, LRESULT& result) {
  switch (header->code) {
    case LVN_GETDISPINFOW:
      FillRow(*reinterpret_cast<NMLVDISPINFOW*>(header));
      result = 0;
      return true;
    case NM_CUSTOMDRAW:
      result = CustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(header));
      return true;
    default:
      return false;
  }
}

void ResultList::FillRow(NMLVDISPINFOW& info) const {
  if (!(info.item.mask & LVIF_TEXT) || !result_) return;
  const auto row = static_cast<std::size_t>(info.item.iItem);
  if (info.item.iItem < 0 || row >= result_->rows.size()) return;
  const EntryIndex& index = *result_->index;
  const Entry& entry = index.entry(result_->rows[row]);
  switch (info.item.iSubItem) {
    case kName: CopyText(std::wstring(entry.name, entry.nameLength), info); break;
    case kFolder: CopyText(FolderText(index, entry), info); break;
    case kSize: CopyText(SizeText(entry), info); break;
    case kModified: CopyText(DateText(entry.modified), info); break;
    default: break;
  }
}

LRESULT ResultList::CustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
      if (draw.iSubItem != kName || !result_) return CDRF_DODEFAULT;
      DrawName(draw, static_cast<int>(draw.nmcd.dwItemSpec));
      return CDRF_SKIPDEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

// The name in three pieces: before the match, the match (bold, coloured), after it.
void ResultList::DrawName(NMLVCUSTOMDRAW& draw, int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= result_->rows.size()) return;
  const Entry& entry = result_->index->entry(result_->rows[static_cast<std::size_t>(row)]);
  RECT cell{};
  cell.top = kName;
  cell.left = LVIR_LABEL;
  if (!SendMessageW(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell))) return;
  if (ListView_GetColumnWidth(list_, kName) < cell.right - cell.left) cell.right = cell.left + ListView_GetColumnWidth(list_, kName);
  HDC dc = draw.nmcd.hdc;
  const bool selected = ListView_GetItemState(list_, row, LVIS_SELECTED) != 0;
  const bool active = GetFocus() == list_;
  const int background = selected ? (active ? COLOR_HIGHLIGHT : COLOR_BTNFACE) : COLOR_WINDOW;
  const COLORREF text = GetSysColor(selected && active ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  FillRect(dc, &cell, GetSysColorBrush(background));

  MatchSpan span;
  const bool matched = result_->filter &&
                       result_->filter->MatchesName(entry.name, entry.nameLength, (entry.flags & kEntryHalfWidthKana) != 0, &span) &&
                       span.length > 0 && span.start + span.length <= entry.nameLength;
  const std::wstring_view name(entry.name, entry.nameLength);
  const std::wstring_view pieces[3] = {matched ? name.substr(0, span.start) : name,
                                       matched ? name.substr(span.start, span.length) : std::wstring_view(),
                                       matched ? name.substr(span.start + span.length) : std::wstring_view()};
  HGDIOBJ normalFont = GetCurrentObject(dc, OBJ_FONT);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = GetTextColor(dc);
  RECT room = cell;
  room.left += 4;
  for (int i = 0; i < 3 && room.left < room.right; ++i) {
    if (pieces[i].empty()) continue;
    const bool match = i == 1;
    SelectObject(dc, match && boldFont_ ? boldFont_.Get() : normalFont);
    SetTextColor(dc, match && !(selected && active) ? kMatchColour : text);
    const UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (i == 2 || !matched ? DT_END_ELLIPSIS : 0);
    DrawTextW(dc, pieces[i].data(), static_cast<int>(pieces[i].size()), &room, format);
    SIZE extent{};
    GetTextExtentPoint32W(dc, pieces[i].data(), static_cast<int>(pieces[i].size()), &extent);
    room.left += extent.cx;
  }
  SelectObject(dc, normalFont);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
}
