// What the search step and the check-box commands need from one Explorer list view or
// tree view, as a small typed interface. The Win32 implementation reaches a view in
// another process through mirrored memory blocks and window messages; tests use fakes.
//
// An object serves one operation (one search step, one command) on one view: it is
// opened, used and destroyed by the same function on the same thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

using ViewHandle = std::uintptr_t;  // the view's window handle; 0 is none

struct ItemRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool operator==(const ItemRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// List-view item state bits.
constexpr std::uint32_t kLvisFocused = 0x1;
constexpr std::uint32_t kLvisSelected = 0x2;
constexpr std::uint32_t kLvisStateImageMask = 0xF000;
constexpr std::uint32_t kLvsExCheckBoxes = 0x4;
// Every item at once (LVM_SETITEMSTATE with index -1).
constexpr int kAllItems = -1;

class ListView {
 public:
  virtual ~ListView() = default;

  // Messages that need no record in the view's process.
  virtual int ItemCount() = 0;
  virtual int SelectedCount() = 0;
  // The lowest index of a selected item, -1 when none is (LVM_GETNEXTITEM from -1).
  virtual int FirstSelected() = 0;
  virtual std::uint32_t ItemState(int index, std::uint32_t mask) = 0;
  virtual std::uint32_t ExtendedStyle() = 0;
  virtual void SetExtendedStyle(std::uint32_t style) = 0;
  // Scrolls the item entirely into view.
  virtual bool EnsureVisible(int index) = 0;

  // Sets up the item record in the view's process for the rest of the operation;
  // false when that is impossible (then no item message may be sent).
  virtual bool OpenRecord() = 0;
  // The item's name, at most 259 bytes in the ANSI code page.
  virtual bool ItemText(int index, std::string& text) = 0;
  // index kAllItems changes every item.
  virtual bool SetItemState(int index, std::uint32_t state, std::uint32_t mask) = 0;
  // The label rectangle in the view's client coordinates.
  virtual bool LabelRect(int index, ItemRect& rect) = 0;

  // A view that answered ItemText from names it kept from an earlier operation says
  // here whether the item still has the name a walk found it a candidate by (false: the
  // kept names are dropped, and from now on every name is the view's own). A view that
  // reads every name anew agrees at once. A walk that found no candidate asks whether
  // the names it went by were found out of date meanwhile (false: it walks again).
  virtual bool ConfirmName(int /*index*/, const std::string& /*name*/) { return true; }
  virtual bool ConfirmNone() { return true; }

  // The view stopped answering or went away during this operation: callers give up.
  virtual bool Lost() const = 0;
};

using TreeItem = std::uint64_t;  // a tree item handle; 0 is none

enum class TreeRelation : std::uint32_t {
  Root = 0x0,
  NextVisible = 0x6,
  PreviousVisible = 0x7,
  Caret = 0x9,
  LastVisible = 0xA,
};

class TreeView {
 public:
  virtual ~TreeView() = default;

  // TVM_GETNEXTITEM: Root, Caret and LastVisible ignore `item`.
  virtual TreeItem NextItem(TreeRelation relation, TreeItem item) = 0;
  // Makes the item the caret (and so the selection).
  virtual bool Select(TreeItem item) = 0;

  virtual bool OpenRecord() = 0;
  virtual bool ItemText(TreeItem item, std::string& text) = 0;
  // The rectangle of the item's text part, in client coordinates.
  virtual bool LabelRect(TreeItem item, ItemRect& rect) = 0;

  virtual bool Lost() const = 0;
};

// Opens views by window handle.
class ViewProvider {
 public:
  virtual ~ViewProvider() = default;
  // The window class name, cut to 127 characters ("" when the window is gone).
  virtual std::string ClassName(ViewHandle view) = 0;
  virtual std::unique_ptr<ListView> OpenList(ViewHandle view) = 0;
  virtual std::unique_ptr<TreeView> OpenTree(ViewHandle view) = 0;
  // Holds the view's drawing during a step (LockWindowUpdate) and lets it go.
  virtual void LockUpdate(ViewHandle view) = 0;
  virtual void UnlockUpdate() = 0;
};
