// Kanasift's side of one whole-view read (tapline/ViewReadFormat.h, docs/batch-reader.md):
// a mapping and an event of this request's own, the request posted to the view, a
// bounded wait, and a copy of the answer checked record by record. The mapping belongs
// to this process; the view's process opens it only while it writes the answer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tapline/ViewReadFormat.h"
#include "view/ViewAccess.h"

// The items of one view as the hook library read them inside the view's process.
struct ViewSnapshot {
  struct Item {
    TreeItem item = 0;  // list: the index; tree: the item handle
    std::uint32_t state = 0;  // list: the bits of viewread::kListStateMask
    bool hasText = false;     // the view answered the item message
    std::uint32_t textOffset = 0;
    std::uint32_t textLength = 0;
  };

  int itemCount = 0;      // list: every item; tree: the visible items
  int selectedCount = 0;  // list only
  TreeItem root = 0;      // tree only: first root item, caret, last visible item
  TreeItem caret = 0;
  TreeItem lastVisible = 0;
  std::vector<Item> items;  // list: by index; tree: in display order
  std::string texts;        // every name, one after another
  std::size_t answerBytes = 0;  // the size of the answer in the shared mapping

  // The name of items[i] as the per-item reader's ItemText gives it; false (and an empty
  // text) when the view did not answer for that item.
  bool Text(std::size_t i, std::string& text) const;
};

enum class ReadOutcome {
  Read,      // the snapshot holds the answer
  TooSmall,  // the answer needs `needed` bytes: ask again with a larger mapping
  Refused,   // no usable answer (the library declined, the answer was malformed, or the
             // request could not be made): read item by item instead
  Ignored,   // the view's thread takes messages but nobody answered the request
  NoAnswer,  // the view's thread stopped taking messages, or its process or window went away
};

// The waits of one request. A healthy view answers within 1-3 ms under Wine; a view whose
// thread is busy longer than `answerMs` is probed with WM_NULL (bounded by `probeMs`), and
// a thread that answers the probe gets `graceMs` more for the request, which by then is
// at the head of its queue. A hung thread is given up after answerMs + probeMs, the bound
// of one message of the per-item reader.
struct ReadWaits {
  DWORD answerMs = 750;
  DWORD probeMs = 250;
  DWORD graceMs = 250;
};

// Asks the hook library in the view's process for every item of a list view (kind List)
// or the visible items of a tree view (Tree), with a mapping of `capacity` bytes. The
// caller has made sure the library watches the view's thread.
ReadOutcome ReadWholeView(HWND view, viewread::ReadKind kind, std::uint32_t capacity, ViewSnapshot& snapshot,
                          std::uint32_t& needed, const ReadWaits& waits = ReadWaits());

// The registered number of "Kanasift::UM_READ_VIEW".
UINT ReadViewMessageNumber();
// A fresh request number (unique in this process).
std::uint32_t NextReadRequestId();
