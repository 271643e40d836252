#include "tapline/ViewSort.h"

#include <commctrl.h>

#include <algorithm>
#include <cstddef>

#include "tapline/SortOrder.h"

namespace tapline {

namespace {

static_assert(sizeof(WCHAR) == sizeof(std::uint16_t), "UTF-16 text");

constexpr int kTextUnits = 520;

// Memory for the length of one sort, from the process heap; empty when it is not there.
template <typename T>
class HeapArray {
 public:
  explicit HeapArray(std::size_t count) {
    if (count > 0 && count < static_cast<std::size_t>(-1) / sizeof(T)) {
      items_ = static_cast<T*>(HeapAlloc(GetProcessHeap(), 0, count * sizeof(T)));
    }
  }
  ~HeapArray() {
    if (items_) HeapFree(GetProcessHeap(), 0, items_);
  }
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;
  T* Get() const { return items_; }
  T& operator[](std::size_t i) const { return items_[i]; }
  explicit operator bool() const { return items_ != nullptr; }

 private:
  T* items_ = nullptr;
};

// An item's identity (lParam value or item ID) with the position it must get.
struct KeyRank {
  std::uint64_t key;
  std::uint32_t rank;
};

struct RankTable {
  KeyRank* entries;
  int count;
  HWND view;  // for LVM_SORTITEMSEX: indices are turned into item IDs
};

// Sorts the table by key; false when two entries share a key.
bool SortAndCheckUnique(KeyRank* entries, int count) {
  std::sort(entries, entries + count, [](const KeyRank& a, const KeyRank& b) { return a.key < b.key; });
  for (int i = 1; i < count; ++i) {
    if (entries[i].key == entries[i - 1].key) return false;
  }
  return true;
}

std::uint32_t RankOf(const RankTable& table, std::uint64_t key) {
  const KeyRank* end = table.entries + table.count;
  const KeyRank* begin = table.entries;
  const KeyRank* found = std::lower_bound(begin, end, key, [](const KeyRank& entry, std::uint64_t value) {
    return entry.key < value;
  });
  return (found != end && found->key == key) ? found->rank : static_cast<std::uint32_t>(table.count);
}

int CompareRanks(std::uint32_t a, std::uint32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

std::uint64_t KeyOfParam(LPARAM param) { return static_cast<std::uint64_t>(static_cast<std::uintptr_t>(param)); }

// LVM_SORTITEMS: the list view hands over the items' lParam values.
int CALLBACK CompareParams(LPARAM first, LPARAM second, LPARAM data) {
  const RankTable& table = *reinterpret_cast<const RankTable*>(data);
  return CompareRanks(RankOf(table, KeyOfParam(first)), RankOf(table, KeyOfParam(second)));
}

std::uint64_t ItemId(HWND view, int index) {
  return static_cast<std::uint32_t>(SendMessageW(view, LVM_MAPINDEXTOID, static_cast<WPARAM>(index), 0));
}

// Wine's list view sorts a copy of its items and hands LVM_SORTITEMSEX comparators the
// positions in that copy, while every message still reads the items in their old order:
// there a comparator cannot tell which items it compares.
bool SortItemsExNamesItems() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
}

// LVM_SORTITEMSEX: the list view hands over item indices.
int CALLBACK CompareIndices(LPARAM first, LPARAM second, LPARAM data) {
  const RankTable& table = *reinterpret_cast<const RankTable*>(data);
  return CompareRanks(RankOf(table, ItemId(table.view, static_cast<int>(first))),
                      RankOf(table, ItemId(table.view, static_cast<int>(second))));
}

LPARAM ItemParam(HWND view, int index) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  return SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : 0;
}

bool SetItemParam(HWND view, int index, LPARAM param) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  item.lParam = param;
  return SendMessageW(view, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) && ItemParam(view, index) == param;
}

SortKey ReadKey(HWND view, int index, SortKind kind, const std::uint16_t* header) {
  SortKey key{0, true};
  switch (kind) {
    case SortKind::SelectState:
      key.value = (SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) & LVIS_SELECTED) ? 1 : 0;
      break;
    case SortKind::CheckState: {
      UINT state = static_cast<UINT>(SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK));
      key.value = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0;  // state image 2: checked
      break;
    }
    case SortKind::NumberInName: {
      WCHAR text[kTextUnits];
      text[0] = L'\0';
      LVITEMW item = {};
      item.iSubItem = 0;
      item.pszText = text;
      item.cchTextMax = kTextUnits;
      SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
      text[kTextUnits - 1] = L'\0';
      key.present = FindNumberAfterHeader(reinterpret_cast<const std::uint16_t*>(text), header, key.value);
      break;
    }
  }
  return key;
}

// The view holds the items in the wanted order: the identity read at position k is the
// one of the item that had index order[k].
template <typename ReadIdentity>
bool InOrder(HWND view, const std::uint32_t* order, const std::uint64_t* identities, int count, ReadIdentity read) {
  if (static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0)) != count) return false;
  for (int k = 0; k < count; ++k) {
    if (read(k) != identities[order[k]]) return false;
  }
  return true;
}

class Sorter {
 public:
  Sorter(HWND view, int count, const std::uint32_t* order)
      : view_(view), count_(count), order_(order), identities_(static_cast<std::size_t>(count)),
        table_(static_cast<std::size_t>(count)) {}

  bool Ready() const { return identities_ && table_; }

  // By the items' own lParam values, when they all differ.
  bool ByDistinctParams() {
    for (int i = 0; i < count_; ++i) identities_[i] = KeyOfParam(ItemParam(view_, i));
    if (!FillTable()) return false;
    return SortItems() && InOrder(view_, order_, identities_.Get(), count_, [this](int k) {
      return KeyOfParam(ItemParam(view_, k));
    });
  }

  // Through lParam values 1..n lent to a list that keeps 0 in every item.
  bool ByLentParams(bool& attempted) {
    attempted = false;
    for (int i = 0; i < count_; ++i) {
      if (ItemParam(view_, i) != 0) return false;
    }
    attempted = true;
    bool lent = true;
    for (int i = 0; i < count_ && lent; ++i) {
      identities_[i] = static_cast<std::uint64_t>(i) + 1;
      lent = SetItemParam(view_, i, static_cast<LPARAM>(i) + 1);
    }
    bool sorted = lent && FillTable() && SortItems() &&
                  InOrder(view_, order_, identities_.Get(), count_, [this](int k) {
                    return KeyOfParam(ItemParam(view_, k));
                  });
    for (int i = 0; i < count_; ++i) SetItemParam(view_, i, 0);
    return sorted;
  }

  // Through the view's item IDs and LVM_SORTITEMSEX.
  bool ByItemIds() {
    if (!SortItemsExNamesItems()) return false;
    for (int i = 0; i < count_; ++i) identities_[i] = ItemId(view_, i);
    if (!FillTable()) return false;
    RankTable table{table_.Get(), count_, view_};
    if (!SendMessageW(view_, LVM_SORTITEMSEX, reinterpret_cast<WPARAM>(&table),
                      reinterpret_cast<LPARAM>(CompareIndices))) {
      return false;
    }
    return InOrder(view_, order_, identities_.Get(), count_, [this](int k) { return ItemId(view_, k); });
  }

 private:
  // Pairs each identity with its item's rank; false when identities repeat.
  bool FillTable() {
    for (int k = 0; k < count_; ++k) table_[order_[k]] = KeyRank{0, static_cast<std::uint32_t>(k)};
    for (int i = 0; i < count_; ++i) table_[i].key = identities_[i];
    return SortAndCheckUnique(table_.Get(), count_);
  }

  bool SortItems() {
    RankTable table{table_.Get(), count_, view_};
    return SendMessageW(view_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&table),
                        reinterpret_cast<LPARAM>(CompareParams)) != 0;
  }

  HWND view_;
  int count_;
  const std::uint32_t* order_;
  HeapArray<std::uint64_t> identities_;
  HeapArray<KeyRank> table_;
};

}  // namespace

// The most items a sort takes on: 48 bytes of the process heap each, so at most 48 MiB
// in the view's process, for a moment (the batch reader's bound too). A longer list is
// left as it is, with a beep.
constexpr int kMaxSortItems = 1 << 20;

void SortListView(HWND view, SortKind kind, const std::uint16_t* nisHeader) {
  if (GetWindowLongPtrW(view, GWL_STYLE) & LVS_OWNERDATA) {
    MessageBeep(0);
    return;
  }
  if (kind == SortKind::CheckState &&
      !(SendMessageW(view, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES)) {
    MessageBeep(0);
    return;
  }
  int count = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
  if (count < 2) return;
  if (count > kMaxSortItems) {
    MessageBeep(0);
    return;
  }
  auto size = static_cast<std::size_t>(count);
  HeapArray<SortKey> keys(size);
  HeapArray<std::uint32_t> order(size);
  HeapArray<std::uint32_t> scratch(size);
  Sorter sorter(view, count, order.Get());
  if (!keys || !order || !scratch || !sorter.Ready()) {
    MessageBeep(0);
    return;
  }
  for (int i = 0; i < count; ++i) keys[i] = ReadKey(view, i, kind, nisHeader);
  bool reversed = false;
  if (!ComputeSortOrder(kind, keys.Get(), static_cast<std::uint32_t>(count), order.Get(), scratch.Get(), reversed)) {
    return;  // all keys equal: no order to change in either direction
  }
  bool attempted = false;
  bool sorted = sorter.ByDistinctParams() || sorter.ByLentParams(attempted) || (!attempted && sorter.ByItemIds());
  if (!sorted) {
    MessageBeep(0);
    return;
  }
  int focused = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
  if (focused >= 0) SendMessageW(view, LVM_ENSUREVISIBLE, static_cast<WPARAM>(focused), FALSE);
}

}  // namespace tapline
