// Holds our own layouts against the system's headers, for the bitness being built: a
// view of our own bitness must read exactly the record the headers describe.
#include <windows.h>
#include <commctrl.h>

#include <cstddef>

#include "view/ItemRecords.h"

namespace {

#ifdef _WIN64
using OwnListItem = records::ListItem64;
using OwnTreeItem = records::TreeItem64;
#else
using OwnListItem = records::ListItem32;
using OwnTreeItem = records::TreeItem32;
#endif

static_assert(offsetof(LVITEMA, mask) == offsetof(OwnListItem, mask), "LVITEMA.mask");
static_assert(offsetof(LVITEMA, iItem) == offsetof(OwnListItem, iItem), "LVITEMA.iItem");
static_assert(offsetof(LVITEMA, iSubItem) == offsetof(OwnListItem, iSubItem), "LVITEMA.iSubItem");
static_assert(offsetof(LVITEMA, state) == offsetof(OwnListItem, state), "LVITEMA.state");
static_assert(offsetof(LVITEMA, stateMask) == offsetof(OwnListItem, stateMask), "LVITEMA.stateMask");
static_assert(offsetof(LVITEMA, pszText) == offsetof(OwnListItem, pszText), "LVITEMA.pszText");
static_assert(offsetof(LVITEMA, cchTextMax) == offsetof(OwnListItem, cchTextMax), "LVITEMA.cchTextMax");
static_assert(offsetof(LVITEMA, iImage) == offsetof(OwnListItem, iImage), "LVITEMA.iImage");
static_assert(offsetof(LVITEMA, lParam) == offsetof(OwnListItem, lParam), "LVITEMA.lParam");
static_assert(offsetof(LVITEMA, iIndent) == offsetof(OwnListItem, iIndent), "LVITEMA.iIndent");
static_assert(sizeof(LVITEMA::pszText) == sizeof(OwnListItem::pszText), "pointer size");

static_assert(offsetof(TVITEMEXA, mask) == offsetof(OwnTreeItem, mask), "TVITEMEXA.mask");
static_assert(offsetof(TVITEMEXA, hItem) == offsetof(OwnTreeItem, hItem), "TVITEMEXA.hItem");
static_assert(offsetof(TVITEMEXA, state) == offsetof(OwnTreeItem, state), "TVITEMEXA.state");
static_assert(offsetof(TVITEMEXA, stateMask) == offsetof(OwnTreeItem, stateMask), "TVITEMEXA.stateMask");
static_assert(offsetof(TVITEMEXA, pszText) == offsetof(OwnTreeItem, pszText), "TVITEMEXA.pszText");
static_assert(offsetof(TVITEMEXA, cchTextMax) == offsetof(OwnTreeItem, cchTextMax), "TVITEMEXA.cchTextMax");
static_assert(offsetof(TVITEMEXA, cChildren) == offsetof(OwnTreeItem, cChildren), "TVITEMEXA.cChildren");
static_assert(offsetof(TVITEMEXA, lParam) == offsetof(OwnTreeItem, lParam), "TVITEMEXA.lParam");
static_assert(offsetof(TVITEMEXA, iIntegral) == offsetof(OwnTreeItem, iIntegral), "TVITEMEXA.iIntegral");
static_assert(sizeof(TVITEMEXA::hItem) == sizeof(OwnTreeItem::hItem), "handle size");
static_assert(sizeof(RECT) == records::kRectBytes, "RECT");

}  // namespace
