// The library's answers to Kanasift's requests about a shell view, carried out in the
// view's own thread (docs/batch-reader.md, "Shell views"):
//   Shell        every item's display name in the view's order (the shell's own order
//                where the view tells it, else its item order), with the selection; names
//                kept from earlier requests are used again, and a long first read pauses
//                every few milliseconds (Yielded) so that the thread can take its other
//                messages;
//   ShellChange  selects items named by their places in an answer, each by the item
//                itself (its ID), and tells where the focused one is.
// Every interface is released before the function returns; nothing waits.
#pragma once

#include <windows.h>

#include "tapline/AnswerClock.h"
#include "tapline/ViewReadFormat.h"

namespace tapline {

// Fails once `clock` is past the answer budget while the items' IDs are taken.
void ServeShellRead(HWND window, const viewread::RequestFacts& facts, viewread::AnswerWriter& writer,
                    const Stopwatch& clock);
void ServeShellChange(HWND window, const void* mapping, const viewread::RequestFacts& facts,
                      viewread::AnswerWriter& writer);

}  // namespace tapline
