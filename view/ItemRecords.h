// The list-view and tree-view item records as a view in a process of either bitness
// reads them. A record lives in the view's process, so its layout is the one of that
// process, not ours: a 64-bit Kanasift that reads a 32-bit view writes the 32-bit
// layout, and the other way round. Only the leading fields up to iIndent / iIntegral are
// used; the item text area follows the record in the same block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace records {

// Room for an item's text in the block, terminating NUL included.
constexpr std::uint32_t kItemTextMax = 260;

// LVITEMA as far as iIndent.
struct ListItem32 {
  std::uint32_t mask;
  std::int32_t iItem;
  std::int32_t iSubItem;
  std::uint32_t state;
  std::uint32_t stateMask;
  std::uint32_t pszText;
  std::int32_t cchTextMax;
  std::int32_t iImage;
  std::uint32_t lParam;
  std::int32_t iIndent;
};

struct ListItem64 {
  std::uint32_t mask;
  std::int32_t iItem;
  std::int32_t iSubItem;
  std::uint32_t state;
  std::uint32_t stateMask;
  std::uint32_t padding1;
  std::uint64_t pszText;
  std::int32_t cchTextMax;
  std::int32_t iImage;
  std::uint64_t lParam;
  std::int32_t iIndent;
  std::uint32_t padding2;
};

// TVITEMEXA as far as iIntegral.
struct TreeItem32 {
  std::uint32_t mask;
  std::uint32_t hItem;
  std::uint32_t state;
  std::uint32_t stateMask;
  std::uint32_t pszText;
  std::int32_t cchTextMax;
  std::int32_t iImage;
  std::int32_t iSelectedImage;
  std::int32_t cChildren;
  std::uint32_t lParam;
  std::int32_t iIntegral;
};

struct TreeItem64 {
  std::uint32_t mask;
  std::uint32_t padding1;
  std::uint64_t hItem;
  std::uint32_t state;
  std::uint32_t stateMask;
  std::uint64_t pszText;
  std::int32_t cchTextMax;
  std::int32_t iImage;
  std::int32_t iSelectedImage;
  std::int32_t cChildren;
  std::uint64_t lParam;
  std::int32_t iIntegral;
  std::uint32_t padding2;
};

static_assert(sizeof(ListItem32) == 40 && offsetof(ListItem32, pszText) == 20 &&
                  offsetof(ListItem32, cchTextMax) == 24,
              "32-bit LVITEMA");
static_assert(offsetof(ListItem64, pszText) == 24 && offsetof(ListItem64, cchTextMax) == 32 &&
                  offsetof(ListItem64, iIndent) == 48 && sizeof(ListItem64) == 56,
              "64-bit LVITEMA");
static_assert(sizeof(TreeItem32) == 44 && offsetof(TreeItem32, hItem) == 4 &&
                  offsetof(TreeItem32, pszText) == 16 && offsetof(TreeItem32, cchTextMax) == 20,
              "32-bit TVITEMEXA");
static_assert(offsetof(TreeItem64, hItem) == 8 && offsetof(TreeItem64, state) == 16 &&
                  offsetof(TreeItem64, stateMask) == 20 && offsetof(TreeItem64, pszText) == 24 &&
                  offsetof(TreeItem64, cchTextMax) == 32 && offsetof(TreeItem64, iIntegral) == 56 &&
                  sizeof(TreeItem64) == 64,
              "64-bit TVITEMEXA");

// Both layouts start with a field that a rectangle request overwrites: the RECT of
// LVM_GETITEMRECT / TVM_GETITEMRECT comes back in the first 16 bytes of the block.
constexpr std::size_t kRectBytes = 16;
static_assert(sizeof(ListItem32) >= kRectBytes && sizeof(TreeItem32) >= kRectBytes, "rect fits");

}  // namespace records
